#pragma once

#include <string>

namespace korvane::cli {

// A byte string from a style file as a JSON string: bytes are Latin-1, written as UTF-8.
std::string JsonString(const std::string& latin1);

} // namespace korvane::cli
