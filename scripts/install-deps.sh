#!/usr/bin/env bash
# Installs the Debian packages Korvane needs to build, test and run, and only those that are missing.
set -euo pipefail

packages=(
    cmake g++ ninja-build pkg-config ccache
    libgtest-dev libgmock-dev libbenchmark-dev
    libcli11-dev nlohmann-json3-dev
    clang libclang-rt-14-dev clang-format
    desktop-file-utils appstream shared-mime-info libglib2.0-bin groff-base librsvg2-bin help2man
    qt6-base-dev qt6-qpa-plugins
    qt6-tools-dev qt6-tools-dev-tools qt6-documentation-tools libqt6help6 libqt6sql6-sqlite
    xvfb xauth fonts-dejavu-core fonts-liberation2
    util-linux  # setpriv: tests that need an unprivileged user run as nobody
    fusefat dosfstools  # a FAT16 volume through FUSE, the kind a keyboard reads from a USB stick
    libfluidsynth-dev fluidsynth timgm6mb-soundfont librtmidi-dev libjack-jackd2-dev libasound2-dev jackd2
    libglib2.0-dev  # FluidSynth's libraries log through GLib; the audio module quiets it
    g++-mingw-w64-x86-64-posix googletest wine64 zip  # the Windows build of the core and korvane-cli
    emscripten nodejs npm chromium python3  # the web page: its core in WebAssembly, its browser tests
)

# The page's npm packages (js-synthesizer, fflate, and puppeteer-core for its tests), exactly as
# src/web/package-lock.json pins them; installed again only when the lock file changed.
install_npm_packages() {
    local web
    web="$(cd "$(dirname "$0")/.." && pwd)/src/web"
    if ! cmp -s "$web/package-lock.json" "$web/node_modules/.korvane-lock" 2>/dev/null; then
        (cd "$web" && npm ci --no-audit --no-fund --ignore-scripts --loglevel=error >/dev/null &&
            cp package-lock.json node_modules/.korvane-lock)
    fi
}
# A node that brings its own npm (NodeSource's) must not get Debian's npm beside it.
if command -v npm >/dev/null; then
    for i in "${!packages[@]}"; do [ "${packages[$i]}" = npm ] && unset 'packages[i]'; done
fi

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && { install_npm_packages; exit 0; }

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
# jackd2 asks whether to allow realtime priority; the answer is given here, so nothing waits.
echo "jackd2 jackd/tweak_rt_limits boolean false" | "${sudo_cmd[@]}" debconf-set-selections
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
install_npm_packages
