#pragma once

#include "style/StyleDocument.h"

#include <ostream>

namespace korvane::cli {

// Every section of the file read last with its parts' voices and mixer values, as a JSON array:
// the "voices" of info and voices. Written one section at a time, never held whole.
void PrintVoicesJson(std::ostream& out, const CStyleDocument& document);

} // namespace korvane::cli
