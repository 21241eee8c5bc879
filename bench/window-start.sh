#!/usr/bin/env bash
# The window is painted within 100 ms of starting it: runs the window and, as the baseline, the
# smallest Qt window (a label in a widget), alternately, under one Xvfb server (xvfb-run), and
# prints the median time of each from exec to its first painted frame and their ratio. Both
# programs report the frame through the hook that KORVANE_BENCH_FIRST_PAINT switches on.
#   bench/window-start.sh [runs]        (exit status 1 when the window's median is 100 ms or more)
# Builds in Release into build-bench-window unless KORVANE_BENCH_PREBUILT=1 (then
# KORVANE_BENCH_BUILD names the build folder to use).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-21}
if [ -z "${KORVANE_BENCH_UNDER_XVFB:-}" ]; then
    build=${KORVANE_BENCH_BUILD:-$root/build-bench-window}
    if [ -z "${KORVANE_BENCH_PREBUILT:-}" ]; then
        cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
        cmake --build "$build" --target korvane korvane_minimal_window >/dev/null
    fi
    export KORVANE_BENCH_UNDER_XVFB=1 KORVANE_BENCH_BUILD=$build
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$runs"
fi

build=$KORVANE_BENCH_BUILD
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" # the window reads and writes Korvane.ini in the folder it starts from
mkdir -m 700 "$work/runtime"
export KORVANE_BENCH_FIRST_PAINT=1 XDG_RUNTIME_DIR=$work/runtime

# Microseconds from exec to the first frame the program reports.
start_to_paint() {
    local start=${EPOCHREALTIME/./} painted
    painted=$("$@") || { echo "$1 did not report its first frame" >&2; exit 2; }
    echo $((painted - start))
}
median_ms() { sort -n | awk '{ v[NR] = $1 } END { printf "%.1f", v[int((NR + 1) / 2)] / 1000 }'; }

window_program="$build/src/korvane"
baseline_program="$build/bench/korvane_minimal_window"
# One unmeasured start of each fills the caches (fonts, libraries).
start_to_paint "$window_program" >/dev/null
start_to_paint "$baseline_program" >/dev/null
for _ in $(seq "$runs"); do
    start_to_paint "$window_program" >>"$work/window"
    start_to_paint "$baseline_program" >>"$work/baseline"
done

window=$(median_ms <"$work/window")
baseline=$(median_ms <"$work/baseline")
printf 'starts:           %d of each, median from exec to the first painted frame\n' "$runs"
printf 'minimal window:   %s ms\n' "$baseline"
printf 'Korvane window:   %s ms\n' "$window"
printf 'ratio:            %s\n' "$(awk -v a="$window" -v b="$baseline" 'BEGIN { printf "%.2f", a / b }')"
printf 'goal:             under 100 ms\n'
awk -v w="$window" 'BEGIN { exit !(w < 100) }'
