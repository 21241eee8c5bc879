#!/usr/bin/env bash
# Makes the golden files of korvane-cli again (tests/cli/golden/) from the current build: run it
# when a change to info's or convert's output is meant, look at `git diff`, and commit the result.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" --target korvane-cli
"$root/tests/cli/golden.sh" write "$root/build/src/cli/korvane-cli"
