#pragma once

// Runs korvane-cli as a user does and collects what it prints.

#include "support/TemporaryFolder.h"

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace korvane::testing {

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// The arguments are each quoted for the shell; stderr goes through a file in folder. A shell
// prefix such as "ulimit -v N; exec " runs first.
inline CliRun RunCli(const std::vector<std::string>& args, CTemporaryFolder& folder,
                     const std::string& shellPrefix = "") {
    std::string command = shellPrefix + "'" + KORVANE_CLI_PATH + "'";
    for (const auto& arg : args)
        command += " '" + arg + "'";
    const std::string errPath = folder.File("stderr.txt");
    command += " 2>'" + errPath + "'";
    CliRun run;
    FILE* pipe = popen(command.c_str(), "r");
    std::array<char, 4096> buffer;
    for (std::size_t n; (n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
        run.out.append(buffer.data(), n);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = ReadBytes(errPath);
    return run;
}

} // namespace korvane::testing
