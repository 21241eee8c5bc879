#!/bin/sh
# Brings the web build up to date and runs its tests: the native build's ctest thereby checks the
# page's C++ and the core as emscripten compiles them, after any change to either.
#   run-web-build.sh WEB_BUILD_DIR
# Skipped (77) where scripts/web.sh has not configured a web build there.
set -e
web=$1
if [ ! -f "$web/CTestTestfile.cmake" ]; then
    echo "No web build in $web (scripts/web.sh --build-only makes it): skipped"
    exit 77
fi
# Debian's emscripten finds its JavaScript packages only through NODE_PATH (see scripts/web.sh).
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
cmake --build "$web"
exec ctest --test-dir "$web" --output-on-failure
