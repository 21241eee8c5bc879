#pragma once

#include "assignment/AssignmentTable.h"
#include "patterns/ConversionPattern.h"
#include "platform/FileDialogs.h"
#include "settings/Settings.h"

#include <functional>

namespace korvane {

// The question of entry 57642, filled with the two conversion folders.
std::string EntireFolderQuestion(const CSettings& settings);

// Auto Convert: refuses with message 57641 when no pattern is loaded. With the entire-folder flag
// set it asks entry 57642; No stops, Yes runs convertEntireFolder (the caller's whole-folder
// conversion, which shows its own progress and summary) and stops. Otherwise Open runs in the
// conversion source folder, the pattern is applied by names, and Save runs in the conversion
// target folder; the two conversion folders follow the folders chosen, in memory only.
void RunAutoConvert(CAssignmentTable& table, CSettings& settings, IFileDialogs& dialogs,
                    const std::function<void()>& convertEntireFolder);

} // namespace korvane
