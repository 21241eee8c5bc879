#pragma once

#include <gtest/gtest.h>

// Cases about what Windows does not have (symbolic links as users make them, FIFOs, devices
// under /dev, resource limits, signals, owners and modes, another user) are skipped there with
// the reason; their bodies sit in #ifndef _WIN32, as they call the POSIX system.
#ifdef _WIN32
#define KORVANE_POSIX_ONLY(reason) GTEST_SKIP() << "POSIX only: " << (reason)
#else
#define KORVANE_POSIX_ONLY(reason) static_cast<void>(reason)
#endif
