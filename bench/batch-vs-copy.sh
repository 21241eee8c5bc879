#!/usr/bin/env bash
# Converting a whole folder costs at most 1.5 times copying it durably: generates 2,000 styles,
# then times `korvane-cli batch --model PSR-9000 --by-name IN OUT` (every file written through a
# temporary file, flushed to disk and renamed) against `cp -r IN COPY` followed by `sync` of the
# copy (the same durability), in the same run, and prints both times and their ratio.
#   bench/batch-vs-copy.sh [count] [jobs]    (exit status 1 when the ratio is above 1.5)
# Without jobs, korvane-cli batch runs with its own default (four files per processor core).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
count=${1:-2000}
jobs=${2:-}
source "$root/bench/corpus.sh"
mkdir "$work/converted"

# Each run starts with nothing waiting to be written back.
sync
start=$(now)
cp -r "$work/in" "$work/copied"
sync -f "$work/copied"
copy=$(seconds_since "$start")

sync
start=$(now)
jobs_option=()
[ -n "$jobs" ] && jobs_option=(--jobs "$jobs")
"$cli" batch --model PSR-9000 --by-name "${jobs_option[@]}" "$work/in" "$work/converted" \
    >"$work/summary"
convert=$(seconds_since "$start")
head -1 "$work/summary"

ratio=$(awk -v a="$convert" -v b="$copy" 'BEGIN { printf "%.2f", a / b }')
printf 'styles:   %d (%d bytes), jobs: %s (%d cores)\n' "${#files[@]}" "$bytes" \
    "${jobs:-default}" "$(nproc)"
printf 'cp+sync:  %.2f s\n' "$copy"
printf 'batch:    %.2f s\n' "$convert"
printf 'ratio:    %s (goal: at most 1.5)\n' "$ratio"
awk -v r="$ratio" 'BEGIN { exit !(r <= 1.5) }'
