#!/usr/bin/env bash
# The golden files of korvane-cli: `info` (text and --json, each also with --notes) of every
# style in examples/, and `convert --by-name` of each to four keyboard layouts (PSR-9000: 16
# sections, PSR-740: 13, PSR-8000: 11, PSR-540: 7), with what each run printed and its exit
# code, `voices --json` of the ballad converted with a changed voice and volume, and the help of
# every command (`--help-all`, of the full build: the Windows build has no audition). Also checks
# that korvane-stylegen still makes examples/ byte for byte.
#
#   golden.sh check CLI STYLEGEN    compare with tests/cli/golden/ (the ctest tests)
#   golden.sh write CLI STYLEGEN    make tests/cli/golden/ again (scripts/regenerate-golden.sh)
#   golden.sh examples STYLEGEN     only the examples/ check
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
golden="$root/tests/cli/golden"
models=(PSR-9000 PSR-740 PSR-8000 PSR-540)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Text lines end as the program's system ends them: with KORVANE_LINE_END=crlf (the Windows
# build) each line is compared without its CR, and a line without one is marked, so it differs.
line_end() {
    if [ "${KORVANE_LINE_END:-lf}" = crlf ]; then
        sed -e 's/\r$//' -e 't' -e 's/^/[no CR] /' "$1"
    else
        cat "$1"
    fi
}

# Runs a command and appends its standard output, standard error and exit code to a file.
record() {
    local file=$1
    shift
    local code=0
    "$@" >"$work/out" 2>"$work/err" || code=$?
    { line_end "$work/out"; line_end "$work/err" | sed 's/^/stderr: /'; echo "exit $code"; } >>"$file"
}

# Writes every output for the styles of examples/ into the folder $1.
make_outputs() {
    local out=$1 cli=$2
    mkdir -p "$out"
    for style in "$root"/examples/*.sty; do
        local name
        name=$(basename "$style" .sty)
        # Run from the tree's root so that the paths printed are examples/NAME.sty.
        (cd "$root" && record "$out/$name.info.txt" "$cli" info "examples/$name.sty")
        (cd "$root" && record "$out/$name.info.json" "$cli" info "examples/$name.sty" --json)
        (cd "$root" && record "$out/$name.notes.txt" "$cli" info "examples/$name.sty" --notes)
        (cd "$root" && record "$out/$name.notes.json" "$cli" info "examples/$name.sty" --notes --json)
        for model in "${models[@]}"; do
            (cd "$out" && record "$out/$name.convert.txt" "$cli" convert "$root/examples/$name.sty" \
                --model "$model" --by-name -o "$name.$model.sty")
        done
    done
    # The voices of the ballad converted with a new bass voice and Chord 1's volume: only those
    # values differ from ballad.PSR-9000.sty.
    (cd "$out" && "$cli" convert "$root/examples/ballad.sty" --model PSR-9000 --by-name \
        --voice Bass=36 --mix "Chord 1:volume=100" -o ballad.voices.sty >/dev/null &&
        record "$out/ballad.voices.json" "$cli" voices ballad.voices.sty --json)
    if [ "${KORVANE_LINE_END:-lf}" = lf ]; then
        record "$out/help-all.txt" "$cli" --help-all
    fi
    # The convert messages name the input by its full path; keep only the part inside the tree.
    sed -i "s|$root/||g" "$out"/*.convert.txt
}

check_examples() {
    local stylegen=$1
    "$stylegen" --examples "$work/examples" >/dev/null
    local failed=0
    for style in "$root"/examples/*.sty "$work"/examples/*.sty; do
        local name
        name=$(basename "$style")
        if ! cmp -s "$root/examples/$name" "$work/examples/$name"; then
            echo "korvane-stylegen --examples no longer makes examples/$name as committed"
            failed=1
        fi
    done
    return $failed
}

[ $# -ge 2 ] && [ -x "$2" ] || { echo "golden.sh: no program at '${2:-}'" >&2; exit 2; }
program=$(realpath "$2")

case ${1:-} in
write)
    rm -rf "$golden"
    make_outputs "$golden" "$program"
    echo "Wrote $(find "$golden" -type f | wc -l) golden files to tests/cli/golden/."
    ;;
check)
    make_outputs "$work/now" "$program"
    skip=()
    [ "${KORVANE_LINE_END:-lf}" = lf ] || skip=(-x help-all.txt)
    if ! diff -r "${skip[@]}" "$golden" "$work/now" >"$work/diff"; then
        head -n 60 "$work/diff"
        echo "korvane-cli's output differs from tests/cli/golden/; if the change is meant," \
            "run scripts/regenerate-golden.sh and commit the result."
        exit 1
    fi
    echo "Every output matches tests/cli/golden/ ($(find "$golden" -type f | wc -l) files)."
    ;;
examples)
    check_examples "$program"
    echo "korvane-stylegen --examples makes examples/ byte for byte."
    ;;
*)
    echo "usage: golden.sh check|write CLI | golden.sh examples STYLEGEN" >&2
    exit 2
    ;;
esac
