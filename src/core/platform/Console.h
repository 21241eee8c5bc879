#pragma once

#include "platform/AtomicFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace korvane {

// The program's side of the system: its arguments, its user, its standard streams and its
// console.

// Readies a console program for UTF-8 text in and out, and gives its arguments as byte strings.
// On Windows the arguments are the UTF-8 form of what the user typed (the narrow arguments would
// lose every character outside the system's code page), and std::cout and std::cerr write to a
// console through its UTF-16 call, whatever the console's code page (which stays as it was); a
// pipe or a file gets the UTF-8 bytes. Elsewhere the arguments are argv as it is.
std::vector<std::string> StartConsoleProgram(int argc, char** argv);

// The running user's number ("1000"); empty on Windows, which numbers no users.
std::string CurrentUserNumber();

// Whether the program has its console to itself: Windows made the console for it, as it does for
// a double click or a file dropped on it in Explorer (a command prompt shares its own). false
// outside Windows.
bool ConsoleOwnedAlone();

// Writes every byte to standard output as it is: no line-end translation, even where the
// stream is in text mode (Windows). Write stage with the system's code on failure.
WriteFailure WriteToStandardOutput(const std::vector<std::uint8_t>& bytes);

// Whether standard error is a terminal (a progress bar is drawn only there).
bool StandardErrorIsTerminal();

} // namespace korvane
