#pragma once

#include <string>
#include <vector>

namespace korvane {

// The 13 keyboard models in their fixed order; the configuration stores the index.
const std::vector<std::string>& ModelNames();

// The catalogue as one text, every name followed by a line feed (the model selector splits it).
std::string ModelCatalogueText();

// The section layout of a model: 16, 13, 11 or 7 destination names; name i belongs to slot i.
// "PSR-740" and "PSR-640" take the 13-section layout, "PSR-9000" the 16-section one, "PSR-540"
// the 7-section one, and every other name (an empty one too) the 11-section layout.
const std::vector<std::string>& LayoutOfModel(const std::string& modelName);

// The model's index in the catalogue, or -1.
int ModelIndex(const std::string& modelName);

} // namespace korvane
