#!/usr/bin/env bash
# Builds the web page (the core as korvane.wasm with Debian's emscripten, the page's files beside
# it in build-web/web) and serves it on localhost, printing the address. Ctrl+C stops the server.
#   web.sh [PORT]      web.sh --build-only
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# Debian's emscripten runs its JavaScript tools with the system's node, which finds Debian's
# JavaScript packages (acorn) only through NODE_PATH when node itself comes from elsewhere.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
if [ ! -d "$root/src/web/node_modules" ] || ! command -v emcmake >/dev/null; then
    "$root/scripts/install-deps.sh"
fi
emcmake cmake -S "$root" -B "$root/build-web" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build-web" -j "$(nproc)"
[ "${1:-}" = --build-only ] && exit 0
exec python3 "$root/scripts/serve-web.py" "$root/build-web/web" "${1:-8025}"
