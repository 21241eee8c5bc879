#!/usr/bin/env bash
# The reports of korvane-cli hold at most 8 times the style's size in memory, plus a constant:
# runs `info --json`, `info --notes --json` and `voices --json` under /usr/bin/time -v on three
# crafted styles: the most sections a style may have (131,072, each a marker and one note), more
# sections than that (refused), and one section of 32 MB. Each command's peak resident size must
# stay within its peak on a one-section style, plus 8 times the file's size, plus 48 MB: the
# sections' own cost (a few hundred bytes each, however small they are in the file), which the
# bound on their number bounds. Memory is measured, not time.
#   bench/report-memory.sh                 (exit status 1 when a command goes past the bound)
#   KORVANE_BENCH_CLI=path/to/korvane-cli  uses that build instead of making one
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
constant_kb=$((48 * 1024))
cli=${KORVANE_BENCH_CLI:-}
if [ -z "$cli" ]; then
    build=${KORVANE_BENCH_BUILD:-$root/build-bench}
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVANE_GUI=OFF >/dev/null
    cmake --build "$build" --target korvane-cli >/dev/null
    cli="$build/src/cli/korvane-cli"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A style whose track holds COUNT sections, each a marker "M" and one note on channel 9 and its
# end (or one section of COUNT zero bytes with "big"), and a CASM chunk with one CSEG naming "M".
style() {
    python3 - "$@" <<'PY'
import struct, sys
count, path = int(sys.argv[1]), sys.argv[2]
big = len(sys.argv) > 3
track = bytearray(b"\x00")
if big:
    track += b"\xff\x06\x01M" + bytes(count)
else:
    track += b"\xff\x06\x01M\x00\x98\x3c\x40\x10\x88\x3c\x00\x00" * count
track += b"\xff\x2f\x00"
ctab = b"Ctab" + struct.pack(">I", 27) + bytes([8]) + b"Rhythm  " + bytes([8]) + bytes(17)
cseg = b"Sdec" + struct.pack(">I", 1) + b"M" + ctab
casm = b"CSEG" + struct.pack(">I", len(cseg)) + cseg
with open(path, "wb") as out:
    out.write(b"MThd" + struct.pack(">IHHH", 6, 0, 1, 480))
    out.write(b"MTrk" + struct.pack(">I", len(track)) + track)
    out.write(b"CASM" + struct.pack(">I", len(casm)) + casm)
PY
}
style 1 "$work/one.sty"
style 131072 "$work/most-sections.sty"
style 400000 "$work/too-many-sections.sty"
style $((32 << 20)) "$work/one-big-section.sty" big

peak_kb() { # the peak resident size of a command, in KB, whether it succeeds or not
    { /usr/bin/time -v "$@" 2>&1 >/dev/null || true; } |
        awk -F': ' '/Maximum resident set size/ { print $2 }'
}
status=0
for command in "info --json" "info --notes --json" "voices --json"; do
    # shellcheck disable=SC2086
    base=$(peak_kb "$cli" $command "$work/one.sty")
    for file in most-sections too-many-sections one-big-section; do
        size=$(stat -c %s "$work/$file.sty")
        # shellcheck disable=SC2086
        peak=$(peak_kb "$cli" $command "$work/$file.sty")
        bound=$((base + 8 * size / 1024 + constant_kb))
        verdict=ok
        if [ "$peak" -gt "$bound" ]; then
            verdict="OVER THE BOUND"
            status=1
        fi
        printf '%-20s %-18s file %6d KB  peak %7d KB  bound %7d KB  %5.1f x file  %s\n' \
            "$command" "$file" $((size / 1024)) "$peak" "$bound" \
            "$(awk -v p="$peak" -v b="$base" -v s="$size" 'BEGIN { print (p - b) * 1024 / s }')" \
            "$verdict"
    done
done
exit $status
