#pragma once

#include "platform/AtomicFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace korvane {

// The program's side of the system: its arguments, its user, its standard streams and its
// console.

// The program's arguments as byte strings: on Windows the UTF-8 form of what the user typed
// (the narrow arguments would lose every character outside the system's code page); elsewhere
// argv as it is.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// The running user's number ("1000"); empty on Windows, which numbers no users.
std::string CurrentUserNumber();

// Makes the console show UTF-8 text as UTF-8 (Windows consoles start in the OEM code page).
void UseUtf8Console();

// Writes every byte to standard output as it is: no line-end translation, even where the
// stream is in text mode (Windows). Write stage with the system's code on failure.
WriteFailure WriteToStandardOutput(const std::vector<std::uint8_t>& bytes);

// Whether standard error is a terminal (a progress bar is drawn only there).
bool StandardErrorIsTerminal();

} // namespace korvane
