#!/usr/bin/env bash
# korvane-cli on a FAT16 volume through FUSE (fusefat), as on a keyboard's USB stick: no links, no
# rename that refuses a taken name, names one whatever their case. Skipped (77) without FUSE.
#   fat-volume.sh CLI ROOT
set -uo pipefail
cli=$1 golden=$2/tests/cli/golden examples=$2/examples
PATH=$PATH:/usr/sbin:/sbin
skip() { echo "SKIPPED: $*"; exit 77; }
[ -c /dev/fuse ] || skip "no /dev/fuse on this machine"
command -v fusefat mkfs.fat >/dev/null || skip "fusefat or mkfs.fat missing (scripts/install-deps.sh)"
work=$(mktemp -d) && stick=$work/stick && mkdir "$stick" "$work/from"
trap 'mountpoint -q "$stick" && { fusermount -u "$stick" || umount -l "$stick"; }; rm -rf "$work"' EXIT
truncate -s 32M "$work/fat.img" && mkfs.fat -F 16 "$work/fat.img" >/dev/null
fusefat -o rw+ "$work/fat.img" "$stick" >/dev/null 2>&1 && mountpoint -q "$stick" ||
    skip "fusefat cannot mount here"
failures=0
check() { "${@:2}" || { echo "FAILED: $1"; failures=$((failures + 1)); }; }
run() { "$cli" "$@" >"$work/out" 2>"$work/err"; code=$?; }

run convert "$examples/ballad.sty" --model PSR-740 --by-name -o "$stick/b.sty"
check "convert writes a new file: $(cat "$work/err")" cmp -s "$stick/b.sty" "$golden/ballad.PSR-740.sty"
run convert "$examples/swing-big.sty" --model PSR-740 --by-name -o "$stick/B.STY"
check "convert keeps the file of that name in another case" [ "$code" = 1 ]
check "the kept file is unchanged" cmp -s "$stick/b.sty" "$golden/ballad.PSR-740.sty"

cp "$examples/ballad.sty" "$work/from/ballad.sty"
cp "$examples/pop-16beat.sty" "$work/from/Pop.sty"
cp "$examples/euro-dance.sty" "$work/from/pop.sty" # the same name as Pop.sty on FAT
for pass in new kept --overwrite; do
    [ "$pass" = --overwrite ] && printf 'old' >"$stick/out/ballad.sty"
    run batch --model PSR-740 --by-name $([ "$pass" = --overwrite ] && echo "$pass") "$work/from" "$stick/out"
    converted=2 && [ "$pass" = kept ] && converted=0
    check "batch $pass: exit $code, $(head -1 "$work/out")" \
        [ "$code $(head -1 "$work/out")" = "1 Converted: $converted of 3 style files." ]
    check "batch $pass reports the collision" grep -qxF \
        "pop.sty (failed): pop.sty has the same name as Pop.sty on this volume." "$work/out"
    check "batch $pass writes ballad.sty" cmp -s "$stick/out/ballad.sty" "$golden/ballad.PSR-740.sty"
    check "batch $pass writes Pop.sty" cmp -s "$stick/out/Pop.sty" "$golden/pop-16beat.PSR-740.sty"
    check "batch $pass leaves two files" [ "$(LC_ALL=C ls -A "$stick/out" | tr '\n' ' ')" = "Pop.sty ballad.sty " ]
done
[ "$failures" = 0 ] || { cat "$work/out" "$work/err"; exit 1; }
echo "FAT volume: convert and batch write every style; a name collision is reported"
