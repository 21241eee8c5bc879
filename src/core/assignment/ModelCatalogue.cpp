#include "assignment/ModelCatalogue.h"

namespace korvane {
namespace {

const std::vector<std::string> kLayout16 = {"SInt",     "Main A",   "Fill In AA", "Intro A",
                                            "Ending A", "Main B",   "Fill In BB", "Fill In BA",
                                            "Intro B",  "Ending B", "Main C",     "Fill In CC",
                                            "Intro C",  "Ending C", "Main D",     "Fill In DD"};
const std::vector<std::string> kLayout13 = {
    "SInt",    "Main A",   "Fill In AA", "Intro A",    "Ending A", "Main B",    "Fill In BB",
    "Intro B", "Ending B", "Main C",     "Fill In CC", "Main D",   "Fill In DD"};
const std::vector<std::string> kLayout11 = {"SInt",       "Main A",   "Fill In AA", "Fill In AB",
                                            "Intro A",    "Ending A", "Main B",     "Fill In BB",
                                            "Fill In BA", "Intro B",  "Ending B"};
const std::vector<std::string> kLayout7 = {"SInt",       "Main A",  "Fill In AA", "Main B",
                                           "Fill In BB", "Intro B", "Ending B"};

} // namespace

const std::vector<std::string>& ModelNames() {
    static const std::vector<std::string> kNames = {
        "PSR-9000", "PSR-8000", "PSR-7000", "PSR-6000", "PSR-4000", "PSR-740", "PSR-640",
        "PSR-540",  "PSR-340",  "PSR-730",  "PSR-630",  "PSR-530",  "PSR-330"};
    return kNames;
}

std::string ModelCatalogueText() {
    std::string text;
    for (const std::string& name : ModelNames())
        text += name + '\n';
    return text;
}

const std::vector<std::string>& LayoutOfModel(const std::string& modelName) {
    if (modelName == "PSR-740" || modelName == "PSR-640")
        return kLayout13;
    if (modelName == "PSR-9000")
        return kLayout16;
    if (modelName == "PSR-540")
        return kLayout7;
    return kLayout11;
}

int ModelIndex(const std::string& modelName) {
    const auto& names = ModelNames();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == modelName)
            return int(i);
    }
    return -1;
}

} // namespace korvane
