#include "platform/Environment.h"

#include <cstdlib>

#ifndef _WIN32
#include <stdlib.h>
#endif

namespace korvane {

void SetEnvironmentDefault(const char* name, const char* value) {
#ifdef _WIN32
    if (!std::getenv(name))
        ::_putenv_s(name, value);
#else
    ::setenv(name, value, 0);
#endif
}

} // namespace korvane
