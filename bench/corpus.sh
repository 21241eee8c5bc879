# Shared by the copy benchmarks: builds korvane-cli and korvane-stylegen in Release (unless
# KORVANE_BENCH_PREBUILT=1), generates $count styles into $work/in and reads them once, so that
# every timed run reads from the page cache. Sets cli, work, files and bytes; defines now() and
# seconds_since START.
build=${KORVANE_BENCH_BUILD:-$root/build-bench}
if [ -z "${KORVANE_BENCH_PREBUILT:-}" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVANE_GUI=OFF >/dev/null
    cmake --build "$build" --target korvane-cli korvane-stylegen >/dev/null
fi
cli="$build/src/cli/korvane-cli"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/tests/support/korvane-stylegen" --count "$count" --seed 1 --out "$work/in"
files=("$work"/in/*.sty)
bytes=$(cat "${files[@]}" | wc -c)
cat "${files[@]}" >/dev/null

now() { date +%s.%N; }
seconds_since() { awk -v a="$(now)" -v b="$1" 'BEGIN { print a - b }'; }
