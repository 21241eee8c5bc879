#pragma once

#include "assignment/AssignmentTable.h"
#include "platform/FileDialogs.h"
#include "settings/Settings.h"
#include "style/StyleReader.h"

#include <string>

namespace korvane {

// Open: the file dialog starts in the style folder; the chosen file is read into the document,
// keeping every assignment, and its sections fill the source column. Cancel changes nothing.
void RunOpenCommand(CAssignmentTable& table, CSettings& settings, IFileDialogs& dialogs);

// Open without the dialog, for a path already chosen (the dialog's OK, Auto Convert,
// korvane-cli). Returns the reader's result: Ok when the sections are shown.
ReadResult OpenStyleFile(CAssignmentTable& table, CSettings& settings, const std::string& path);

} // namespace korvane
