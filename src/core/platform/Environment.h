#pragma once

namespace korvane {

// Sets the environment variable name to value unless it is set already (the user's choice
// stands). The environment is the process's: call it at start-up or on the thread that is about
// to start the threads that read it, never while other threads of ours run.
void SetEnvironmentDefault(const char* name, const char* value);

} // namespace korvane
