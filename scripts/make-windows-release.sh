#!/usr/bin/env bash
# Makes korvane-cli-windows-x86_64.zip: korvane-cli.exe (static, so it needs no DLL beside it),
# the README and the licence, from the mingw-w64 cross build in build-windows/.
#   scripts/make-windows-release.sh [OUTPUT_FOLDER]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath "${1:-$root}")
build="$root/build-windows"
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DKORVANE_GUI=OFF -DKORVANE_AUDITION=OFF -DKORVANE_BENCH=OFF >/dev/null
cmake --build "$build" --target korvane-cli
x86_64-w64-mingw32-strip -o "$build/korvane-cli-stripped.exe" "$build/src/cli/korvane-cli.exe"

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/korvane-cli"
cp "$build/korvane-cli-stripped.exe" "$stage/korvane-cli/korvane-cli.exe"
cp "$root/README.md" "$stage/korvane-cli/README.md"
licence=$(find "$root" -maxdepth 1 -type f \( -iname 'LICEN[CS]E*' -o -iname 'COPYING*' \) | head -n 1)
if [ -n "$licence" ]; then
    cp "$licence" "$stage/korvane-cli/"
else
    echo "make-windows-release.sh: the tree has no licence file; the archive goes without one" >&2
fi
rm -f "$out/korvane-cli-windows-x86_64.zip"
(cd "$stage" && zip -q -r -X "$out/korvane-cli-windows-x86_64.zip" korvane-cli)
echo "Wrote $out/korvane-cli-windows-x86_64.zip"
