#!/usr/bin/env bash
# Installs what is missing, builds Korvane and starts it in the folder you call it from.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" --target korvane korvane-cli
exec "$root/build/src/korvane" "$@"
