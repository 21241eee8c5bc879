#!/usr/bin/env bash
# Makes korvane-cli-VERSION-windows-x86_64.zip: korvane-cli.exe (static, so it needs no DLL beside
# it; with its icon and version), README-Windows.txt, LICENSE and THIRD-PARTY.md, from the
# mingw-w64 cross build in build-windows/. Installs only the packages the cross build needs.
#   scripts/make-windows-release.sh [OUTPUT_FOLDER]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath "${1:-$root}")
build="$root/build-windows"
version=$(sed -n 's/^project(Korvane VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
name="korvane-cli-$version-windows-x86_64"

for licence in LICENSE THIRD-PARTY.md; do
    [ -f "$root/$licence" ] ||
        { echo "make-windows-release.sh: $root/$licence is missing; the archive needs it" >&2; exit 1; }
done

# The cross compiler, the build tools and the two header-only libraries korvane-cli uses (the
# configure step also reads GoogleTest's sources, for the test programs it would build).
packages=(g++-mingw-w64-x86-64-posix cmake ninja-build zip libcli11-dev nlohmann-json3-dev googletest)
missing=()
for p in "${packages[@]}"; do
    [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)" = "install ok installed" ] ||
        missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
        --no-install-recommends "${missing[@]}"
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DKORVANE_GUI=OFF -DKORVANE_AUDITION=OFF -DKORVANE_BENCH=OFF >/dev/null
cmake --build "$build" --target korvane-cli

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/$name"
x86_64-w64-mingw32-strip -o "$stage/$name/korvane-cli.exe" "$build/src/cli/korvane-cli.exe"
# Notepad of older Windows shows a text file on one line unless its lines end in CR LF.
sed 's/$/\r/' "$root/resources/windows/README-Windows.txt" >"$stage/$name/README-Windows.txt"
cp "$root/LICENSE" "$root/THIRD-PARTY.md" "$stage/$name/"
rm -f "$out/$name.zip"
(cd "$stage" && zip -q -r -X "$out/$name.zip" "$name")
echo "Wrote $out/$name.zip"
