// korvane-cli models: the keyboard models and their section layouts.

#include "assignment/ModelCatalogue.h"
#include "cli/CliSupport.h"

#include <nlohmann/json.hpp>

#include <iostream>
#include <memory>

namespace korvane::cli {
namespace {

const std::string kModelsHelp = HelpHint("models");

ExitCode RunModels(bool json) {
    const auto& names = ModelNames();
    nlohmann::ordered_json models = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < names.size(); ++i) {
        const auto& layout = LayoutOfModel(names[i]);
        if (json) {
            models.push_back({{"index", i}, {"name", names[i]}, {"sections", layout}});
            continue;
        }
        std::cout << names[i] << " (" << layout.size() << " sections):";
        for (std::size_t s = 0; s < layout.size(); ++s)
            std::cout << (s ? ", " : " ") << layout[s];
        std::cout << "\n";
    }
    if (json)
        std::cout << models.dump() << "\n";
    return ExitCode::Success;
}

} // namespace

Command AddModelsCommand(CLI::App& app) {
    auto json = std::make_shared<bool>(false);
    CLI::App* models =
        app.add_subcommand("models", "list the keyboard models and their section layouts");
    models->add_flag("--json", *json, "print a JSON array instead of text");
    models->footer("Lists the 13 keyboard models in the window's order, each with its section "
                   "layout.");
    return {models, kModelsHelp, [json] { return RunModels(*json); }};
}

} // namespace korvane::cli
