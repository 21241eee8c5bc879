# Cross-builds the core and korvane-cli for 64-bit Windows with Debian's mingw-w64 (posix threads):
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The programs are linked statically, so the .exe needs no DLL beside it; ctest runs the test
# programs through wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KORVANE_MINGW_PREFIX x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${KORVANE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORVANE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KORVANE_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KORVANE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# -O2 as the Linux build, quicker to build than -O3. mingw-w64's GCC 12 warns falsely about
# std::string concatenation, vector inserts and small fixed arrays (-Wrestrict, -Warray-bounds,
# -Wstringop-overflow and -overread on memcpy inside libstdc++, as in GCC bug 105651); the Linux
# build keeps those checks for the same code.
set(CMAKE_CXX_FLAGS_RELEASE_INIT "-O2 -DNDEBUG")
set(CMAKE_CXX_FLAGS_INIT
    "-Wno-restrict -Wno-array-bounds -Wno-stringop-overflow -Wno-stringop-overread")

# wine64 runs the test programs (Debian installs it outside PATH), in a prefix of the build folder
# that scripts/test.sh makes with `wineboot -i` first; no debug output, no Mono or Gecko
# installers, and UTF-8 for the names and arguments it passes between Linux and Windows.
find_program(KORVANE_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(KORVANE_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR env WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix WINEDEBUG=-all
        WINEDLLOVERRIDES=mscoree,mshtml= LC_ALL=C.UTF-8 ${KORVANE_WINE})
endif()
