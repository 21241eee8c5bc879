#!/usr/bin/env bash
# What only the Windows build of korvane-cli can get wrong, through the .exe as a user runs it:
# a style written to standard output byte for byte (no CR before each LF), a path that starts
# with "/" taken as a file (not as a Windows-style option), names outside the system's code page,
# an existing file replaced, and a folder of such names converted by batch.
#   windows-cli.sh CLI      CLI runs korvane-cli.exe (through wine)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
golden="$root/tests/cli/golden"
cli=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
expect() { # expect WHAT COMMAND...: the command succeeds
    "${@:2}" >"$work/out" 2>"$work/err" || { echo "FAILED: $1"; cat "$work/err"; failed=1; }
}

expect "convert -o - writes every byte as it is" \
    "$cli" convert "$root/examples/ballad.sty" --model PSR-540 --by-name -o -
cmp "$work/out" "$golden/ballad.PSR-540.sty" || { echo "FAILED: standard output differs"; failed=1; }

cd "$work" || exit 1
cp "$root/examples/ballad.sty" "スタイル.sty"
expect "info of a file named in Japanese" "$cli" info "スタイル.sty"
sed 's/\r$//' "$work/out" >"$work/info.txt"
sed 's|examples/ballad.sty|スタイル.sty|' "$golden/ballad.info.txt" | sed '$d' | cmp - "$work/info.txt" ||
    { echo "FAILED: info of スタイル.sty differs"; failed=1; }

expect "convert to a name in Japanese from a path that starts with /" \
    "$cli" convert "$work/スタイル.sty" --model PSR-540 --by-name -o "変換.sty"
cmp "変換.sty" "$golden/ballad.PSR-540.sty" || { echo "FAILED: 変換.sty differs"; failed=1; }

cp "$root/examples/swing-big.sty" "変換.sty"
expect "convert --force replaces an existing file" \
    "$cli" convert "スタイル.sty" --model PSR-540 --by-name -o "変換.sty" --force
cmp "変換.sty" "$golden/ballad.PSR-540.sty" || { echo "FAILED: 変換.sty was not replaced"; failed=1; }
leftovers=$(find . -name '.korvane-*')
[ -z "$leftovers" ] || { echo "FAILED: temporary files left: $leftovers"; failed=1; }

mkdir "入力" "出力" && cp "$root/examples/ballad.sty" "入力/スタイル.sty"
expect "batch over names in Japanese" "$cli" batch --model PSR-540 --by-name "入力" "出力"
cmp "出力/スタイル.sty" "$golden/ballad.PSR-540.sty" || { echo "FAILED: batch's スタイル.sty differs"; failed=1; }

[ $failed -eq 0 ] && echo "korvane-cli.exe: standard output, / paths, Japanese names and replacing hold"
exit $failed
