#!/usr/bin/env bash
# What only the Windows build of korvane-cli can get wrong, through the .exe as a user runs it:
# a style written to standard output byte for byte (no CR before each LF), a path that starts
# with "/" taken as a file (not as a Windows-style option), names outside the system's code page,
# an existing file replaced, a folder of such names converted by batch; Windows' own paths
# (drive- and root-relative, past 260 characters, device names, trailing dots, one folder spelt
# two ways), the console, Windows' error numbers, a start from Explorer and the resources.
#   windows-cli.sh CLI RUN EXE   CLI runs korvane-cli.exe, RUN any Windows program (through wine),
#                                EXE is the program's file; WINE_PREFIX names wine's prefix')
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
golden="$root/tests/cli/golden"
cli=$(realpath "$1")
run=$(realpath "$2")
exe="Z:$(realpath "$3" | tr / '\\')"
work=$(mktemp -d)
drive="${WINE_PREFIX:?}/dosdevices/k:" # drive K: is the work folder
trap 'rm -rf "$work" "$drive"' EXIT
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

same() { cmp -s "$1" "$golden/ballad.PSR-540.sty" || { echo "FAILED: $1 differs or is missing"; failed=1; }; }
says() { # says WHAT TEXT FILE: FILE holds the line TEXT
    tr -d '\r' <"$3" | grep -qxF -- "$2" || { echo "FAILED: $1"; cat "$3"; failed=1; }
}
convert=(convert "スタイル.sty" --model PSR-540 --by-name)

# The temporary file goes into the folder the target's full path names.
ln -sfn "$work" "$drive"
mkdir sub root-in && cp "$root/examples/ballad.sty" root-in/r.sty
in='K:\root-in\r.sty --model PSR-540 --by-name'
"$run" cmd /c "cd /d K:\sub & $exe batch --model PSR-540 --by-name K:\root-in \ & \
$exe convert $in -o \ROOT.STY & $exe convert $in -o K:drel.sty" >/dev/null 2>&1
same ROOT.STY; same sub/drel.sty; same r.sty

# Paths of 260 characters and more, as source folder and as target.
long=$(printf 'a-folder-with-a-name-of-thirty-%02d/' $(seq 1 9))
mkdir -p "$long" && cp "$root/examples/ballad.sty" "$long/"
expect "batch from a folder past 260 characters" "$cli" batch --model PSR-540 --by-name "$long" "$long/out"
same "$long/out/ballad.sty"

# A console shows every character.
cp "$root/examples/ballad.sty" Café.sty
console() { script -qec "$*" /dev/null </dev/null >"$work/out"; }
console "$cli info Café.sty; $cli info Crème.sty"
grep -qF "Café.sty" "$work/out" && grep -qF "Crème.sty" "$work/out" ||
    { echo "FAILED: the console shows other characters"; cat -A "$work/out"; failed=1; }

# Windows' error number: a file another program holds open (cmd's redirection) is a sharing violation.
cp Café.sty held.sty
"$run" cmd /c "$exe ${convert[*]} -o K:\\held.sty --force < K:\\held.sty" 2>"$work/err"
says "a held file gives Windows' 32" "korvane-cli: Sorry... Cannot open file K:\\held.sty. (0x00000020)" "$work/err"

# Device names are read inside a folder and refused as outputs; so are names ending in a dot or blank.
mkdir devices && for name in nul.sty CON.sty; do cp "$root/examples/ballad.sty" "devices/$name"; done
"$cli" batch --model PSR-540 --by-name devices devices-out >"$work/out"
says "CON.sty read and refused" "CON.sty (failed): Cannot write file devices-out\\CON.sty: CON.sty is a reserved device name on Windows. Choose another name; no file was changed." "$work/out"
says "nul.sty read and refused" "nul.sty (failed): Cannot write file devices-out\\nul.sty: nul.sty is a reserved device name on Windows. Choose another name; no file was changed." "$work/out"
"$cli" "${convert[@]}" -o "a.sty." 2>"$work/err" && failed=1
says "a.sty. refused" "korvane-cli: Sorry... Cannot write file a.sty.: Windows drops the dots and blanks at the end of a file name." "$work/err"
[ ! -e a.sty ] || { echo "FAILED: a.sty was written"; failed=1; }

for command in audition ports; do
    "$cli" $command 2>"$work/err"; status=$?
    says "$command in this build" "korvane-cli: $command is not available in this build" "$work/err"
    [ $status = 2 ] || { echo "FAILED: $command exits $status"; failed=1; }
done

# Started from Explorer: what to do (or the dropped style's sections), then Enter ends it.
for dropped in "" Café.sty; do
    (for _ in $(seq 600); do grep -q "Press Enter" "$work/explorer" 2>/dev/null && break; sleep 0.1; done
     printf '\r'; sleep 1) | timeout 120 script -qec "$cli $dropped" /dev/null >"$work/explorer" ||
        { echo "FAILED: started alone with '$dropped' did not end at Enter"; failed=1; }
    grep -q "korvane-cli models\|Café.sty" "$work/explorer" || { echo "FAILED: started alone: no text"; failed=1; }
    rm -f "$work/explorer"
done

# One folder, spelt with a trailing separator or a full path: refused, the styles kept.
mkdir W && cp "$root/examples/"*.sty W/
for spelling in 'W W\' 'W W/' "W Z:$(pwd | tr / '\\')\\W\\" 'W\ W'; do
    "$cli" batch --model PSR-540 --copy-all --overwrite $spelling >/dev/null 2>&1 && failed=1
done
for style in "$root/examples/"*.sty; do cmp -s "$style" "W/$(basename "$style")" || { echo "FAILED: W/$(basename "$style") replaced"; failed=1; }; done

# The version resource and the icon (resource types 16 and 3).
types=$(x86_64-w64-mingw32-objdump -p "$3" | grep -cE '^[0-9a-f]{3}   Entry: ID: 0x0000(03|10),')
[ "$types" = 2 ] || { echo "FAILED: no icon or no version"; failed=1; }

[ $failed -eq 0 ] && echo "korvane-cli.exe: standard output, names, paths, console, errors and Explorer hold"
exit $failed
