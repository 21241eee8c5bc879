#!/usr/bin/env bash
# korvane-cli writing to a FAT16 volume, the kind a keyboard reads from a USB stick, mounted through
# FUSE (fusefat): no links, no rename that refuses a taken name, and names that differ only in case
# are one name. convert, batch with and without --overwrite, and two sources whose names differ
# only in case. Skipped (exit 77, with the reason) where FUSE or the tools are missing.
#
#   fat-volume.sh CLI ROOT
set -euo pipefail
cli=$1
root=$2
golden="$root/tests/cli/golden"
PATH=$PATH:/usr/sbin:/sbin

skip() {
    echo "SKIPPED: $*"
    exit 77
}
[ -c /dev/fuse ] || skip "no /dev/fuse on this machine"
command -v fusefat >/dev/null || skip "fusefat is not installed (scripts/install-deps.sh)"
command -v mkfs.fat >/dev/null || skip "mkfs.fat (dosfstools) is not installed"

work=$(mktemp -d)
stick="$work/stick"
unmount() {
    if mountpoint -q "$stick" 2>/dev/null; then
        fusermount -u "$stick" 2>/dev/null || umount -l "$stick" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap unmount EXIT
mkdir "$stick" "$work/from"
truncate -s 32M "$work/fat.img"
mkfs.fat -F 16 "$work/fat.img" >/dev/null
fusefat -o rw+ "$work/fat.img" "$stick" >/dev/null 2>&1 || skip "fusefat cannot mount here"
mountpoint -q "$stick" || skip "fusefat did not mount"

failures=0
check() { # what, then a command that must succeed
    local what=$1
    shift
    if ! "$@"; then
        echo "FAILED: $what"
        failures=$((failures + 1))
    fi
}
run() { # runs korvane-cli, keeping its output and exit code
    set +e
    "$cli" "$@" >"$work/out" 2>"$work/err"
    code=$?
    set -e
}

# A new file, then the same name again without --force: kept.
run convert "$root/examples/ballad.sty" --model PSR-740 --by-name -o "$stick/b.sty"
check "convert writes a new file (exit $code: $(cat "$work/err"))" [ "$code" = 0 ]
check "the converted style is on the volume" cmp -s "$stick/b.sty" "$golden/ballad.PSR-740.sty"
run convert "$root/examples/swing-big.sty" --model PSR-740 --by-name -o "$stick/B.STY"
check "convert keeps a file of the same name in another case" [ "$code" = 1 ]
check "the kept file is unchanged" cmp -s "$stick/b.sty" "$golden/ballad.PSR-740.sty"

# Two sources whose names are one on FAT: the first is converted, the other fails.
cp "$root/examples/ballad.sty" "$work/from/ballad.sty"
cp "$root/examples/pop-16beat.sty" "$work/from/Pop.sty"
cp "$root/examples/euro-dance.sty" "$work/from/pop.sty"
expected_collision="pop.sty (failed): pop.sty has the same name as Pop.sty on this volume."
for pass in new kept overwrite; do
    options=()
    [ "$pass" = overwrite ] && options=(--overwrite) && printf 'old' >"$stick/out/ballad.sty"
    run batch --model PSR-740 --by-name "${options[@]}" "$work/from" "$stick/out"
    case $pass in
    kept) converted="Converted: 0 of 3 style files." ;;
    *) converted="Converted: 2 of 3 style files." ;;
    esac
    check "batch ($pass) exits 1 for the collision" [ "$code" = 1 ]
    check "batch ($pass) counts: $(head -1 "$work/out")" [ "$(head -1 "$work/out")" = "$converted" ]
    check "batch ($pass) reports the collision" grep -qxF "$expected_collision" "$work/out"
    check "batch ($pass) writes ballad.sty" cmp -s "$stick/out/ballad.sty" "$golden/ballad.PSR-740.sty"
    check "batch ($pass) writes Pop.sty" cmp -s "$stick/out/Pop.sty" "$golden/pop-16beat.PSR-740.sty"
    check "batch ($pass) leaves two files: $(LC_ALL=C ls -A "$stick/out" | tr '\n' ' ')" \
        [ "$(LC_ALL=C ls -A "$stick/out" | tr '\n' ' ')" = "Pop.sty ballad.sty " ]
done

[ "$failures" = 0 ] || { cat "$work/out" "$work/err"; exit 1; }
echo "FAT volume: convert and batch write every style; a name collision is reported"
