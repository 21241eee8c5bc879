#!/usr/bin/env bash
# Builds the style reader's libFuzzer target with clang, makes a seed corpus of generated styles
# (whole and cut off, SFF1 and SFF2) and fuzzes for the given number of seconds (default 300).
#   scripts/fuzz.sh [seconds]
# Crashes, hangs and leaks are written to build-fuzz/fuzz-artifacts/; the corpus grows in
# build-fuzz/fuzz-corpus/ and is kept for the next run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-300}
build="$root/build-fuzz"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKORVANE_FUZZ=ON -DKORVANE_GUI=OFF -DKORVANE_BENCH=OFF >/dev/null
cmake --build "$build" --target korvane_read_style_fuzz korvane-stylegen

seeds="$build/fuzz-seeds"
corpus="$build/fuzz-corpus"
artifacts="$build/fuzz-artifacts"
rm -rf "$seeds"
mkdir -p "$corpus" "$artifacts"
"$build/tests/support/korvane-stylegen" --count 40 --seed 1000 --out "$seeds" --compact --truncated
"$build/tests/support/korvane-stylegen" --count 4 --seed 2000 --out "$seeds/full"
mv "$seeds"/full/*.sty "$seeds/" && rmdir "$seeds/full"
"$build/tests/support/korvane-stylegen" --count 20 --seed 3000 --out "$seeds/sff2" --compact --truncated --sff2
for f in "$seeds"/sff2/*.sty; do mv "$f" "$seeds/sff2-$(basename "$f")"; done
rmdir "$seeds/sff2"
"$build/tests/support/korvane-stylegen" --examples "$seeds/examples"
for f in "$seeds"/examples/*.sty; do mv "$f" "$seeds/example-$(basename "$f")"; done
rmdir "$seeds/examples"

# The leak check runs at every input; -max_len leaves room for the whole generated styles.
exec "$build/tests/fuzz/korvane_read_style_fuzz" "$corpus" "$seeds" \
    -dict="$root/tests/fuzz/style.dict" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -max_len=32768 -artifact_prefix="$artifacts/" -print_final_stats=1
