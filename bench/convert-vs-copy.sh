#!/usr/bin/env bash
# Converting a style costs at most 1.2 times a synced copy of it: generates 2,000 styles, then
# times one `korvane-cli convert FILE --model PSR-9000 --by-name -o OUT` process per file against
# one `dd ... conv=fsync` process per file of the same files (a copy that, like convert's write,
# is on the disk before the process ends), in the same run, and prints both times and their ratio.
#   bench/convert-vs-copy.sh [count]        (exit status 1 when the ratio is above 1.2)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
count=${1:-2000}
source "$root/bench/corpus.sh"
mkdir "$work/converted" "$work/copied"

# Each loop starts with nothing waiting to be written back, so that neither waits for the other's
# pages.
sync
start=$(now)
for f in "${files[@]}"; do
    dd if="$f" of="$work/copied/$(basename "$f")" conv=fsync status=none
done
copy=$(seconds_since "$start")

sync
start=$(now)
for f in "${files[@]}"; do
    "$cli" convert "$f" --model PSR-9000 --by-name -o "$work/converted/$(basename "$f")" >/dev/null
done
convert=$(seconds_since "$start")

ratio=$(awk -v a="$convert" -v b="$copy" 'BEGIN { printf "%.2f", a / b }')
printf 'styles:       %d (%d bytes)\n' "${#files[@]}" "$bytes"
printf 'synced copy:  %.2f s\n' "$copy"
printf 'convert:      %.2f s\n' "$convert"
printf 'ratio:        %s (goal: at most 1.2)\n' "$ratio"
awk -v r="$ratio" 'BEGIN { exit !(r <= 1.2) }'
