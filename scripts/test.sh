#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the full build (window tests on
# Qt's offscreen platform), the web page (its core under Node, the page in headless Chromium
# against korvane-cli of the full build), then the core tests again under AddressSanitizer and UBSan.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# ccache sees paths relative to the checkout, so another clone of the tree reuses its objects.
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
"$root/scripts/install-deps.sh"
jobs=$(nproc)

cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKORVANE_WEB_BUILD="$root/build-web" >/dev/null
cmake --build "$root/build" -j "$jobs"
# The web build's tests run from the full build's ctest (Web.TestsOfTheWebBuild).
"$root/scripts/web.sh" --build-only
QT_QPA_PLATFORM=offscreen ctest --test-dir "$root/build" --output-on-failure -j "$jobs"

cmake -S "$root" -B "$root/build-sanitize" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DKORVANE_GUI=OFF -DKORVANE_BENCH=OFF -DKORVANE_SANITIZE=ON -DKORVANE_WEB_BUILD= >/dev/null
cmake --build "$root/build-sanitize" -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions="$root/tests/lsan.supp" \
    UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    ctest --test-dir "$root/build-sanitize" --output-on-failure -j "$jobs"

# Windows: the core, korvane-cli and the core's tests cross-built with mingw-w64 and run under
# wine (one wine start per test program), with the golden files through korvane-cli.exe.
cmake -S "$root" -B "$root/build-windows" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DKORVANE_GUI=OFF -DKORVANE_AUDITION=OFF -DKORVANE_BENCH=OFF >/dev/null
cmake --build "$root/build-windows" -j "$jobs"
"$root/scripts/wine-prefix.sh" "$root/build-windows/wine-prefix"
ctest --test-dir "$root/build-windows" --output-on-failure -j "$jobs"
