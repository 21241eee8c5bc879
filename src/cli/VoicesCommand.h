#pragma once

#include "style/StyleDocument.h"

#include <nlohmann/json.hpp>

namespace korvane::cli {

// Every section of the file read last with its parts' voices and mixer values, as JSON: the
// "voices" of info and voices.
nlohmann::ordered_json VoicesJson(const CStyleDocument& document);

} // namespace korvane::cli
