#!/usr/bin/env bash
# Converting a style costs at most 1.2 times a synced copy of it: generates 2,000 styles, then
# times one `korvane-cli convert FILE --model PSR-9000 --by-name -o OUT` process per file against
# one `dd ... conv=fsync` process per file of the same files (a copy that, like convert's write,
# is on the disk before the process ends), alternately in the same run, and prints both total
# times and their ratio.
#   bench/convert-vs-copy.sh [count]        (exit status 1 when the ratio is above 1.2)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
count=${1:-2000}
source "$root/bench/corpus.sh"
mkdir "$work/converted" "$work/copied"

# The two alternate file by file, so that both see the same load on the machine; each file's
# copy and conversion are timed on their own, from nothing waiting to be written back.
sync
copy_us=0
convert_us=0
for f in "${files[@]}"; do
    name=$(basename "$f")
    start=${EPOCHREALTIME/./}
    dd if="$f" of="$work/copied/$name" conv=fsync status=none
    middle=${EPOCHREALTIME/./}
    "$cli" convert "$f" --model PSR-9000 --by-name -o "$work/converted/$name" >/dev/null
    end=${EPOCHREALTIME/./}
    copy_us=$((copy_us + middle - start))
    convert_us=$((convert_us + end - middle))
done
copy=$(awk -v us="$copy_us" 'BEGIN { print us / 1e6 }')
convert=$(awk -v us="$convert_us" 'BEGIN { print us / 1e6 }')

ratio=$(awk -v a="$convert" -v b="$copy" 'BEGIN { printf "%.2f", a / b }')
printf 'styles:       %d (%d bytes)\n' "${#files[@]}" "$bytes"
printf 'synced copy:  %.2f s\n' "$copy"
printf 'convert:      %.2f s\n' "$convert"
printf 'ratio:        %s (goal: at most 1.2)\n' "$ratio"
awk -v r="$ratio" 'BEGIN { exit !(r <= 1.2) }'
