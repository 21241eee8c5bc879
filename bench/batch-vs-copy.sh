#!/usr/bin/env bash
# Converting a whole folder costs at most 1.5 times copying it durably: generates 2,000 styles,
# then times `korvane-cli batch --model PSR-9000 --by-name IN OUT` (every file written through a
# temporary file, flushed to disk and renamed) against `cp -r IN COPY` followed by `sync` of the
# copy (the same durability), in the same run, and prints both times and their ratio. The two
# alternate for a few rounds and the medians are compared: how long a sync takes varies from one
# moment to the next far more than either of them does.
#   bench/batch-vs-copy.sh [count] [jobs] [rounds]    (exit status 1 when the ratio is above 1.5)
# Without jobs, korvane-cli batch runs with its own default (four files per processor core).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
count=${1:-2000}
jobs=${2:-}
source "$root/bench/corpus.sh"
rounds=${3:-5}
jobs_option=()
[ -n "$jobs" ] && jobs_option=(--jobs "$jobs")

copies=()
batches=()
for round in $(seq "$rounds"); do
    # Each run starts with nothing waiting to be written back.
    sync
    start=$(now)
    cp -r "$work/in" "$work/copied-$round"
    sync -f "$work/copied-$round"
    copies+=("$(seconds_since "$start")")

    sync
    start=$(now)
    "$cli" batch --model PSR-9000 --by-name "${jobs_option[@]}" "$work/in" \
        "$work/converted-$round" >"$work/summary"
    batches+=("$(seconds_since "$start")")
    rm -rf "$work/copied-$round" "$work/converted-$round"
done
head -1 "$work/summary"
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
copy=$(median "${copies[@]}")
convert=$(median "${batches[@]}")

ratio=$(awk -v a="$convert" -v b="$copy" 'BEGIN { printf "%.2f", a / b }')
printf 'styles:   %d (%d bytes), jobs: %s (%d cores)\n' "${#files[@]}" "$bytes" \
    "${jobs:-default}" "$(nproc)"
all() { printf ' %.2f' "$@"; }
printf 'cp+sync:  %.2f s (median of %d:%s)\n' "$copy" "$rounds" "$(all "${copies[@]}")"
printf 'batch:    %.2f s (median of %d:%s)\n' "$convert" "$rounds" "$(all "${batches[@]}")"
printf 'ratio:    %s (goal: at most 1.5)\n' "$ratio"
awk -v r="$ratio" 'BEGIN { exit !(r <= 1.5) }'
