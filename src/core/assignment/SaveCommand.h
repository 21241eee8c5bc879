#pragma once

#include "assignment/AssignmentTable.h"
#include "platform/FileDialogs.h"
#include "settings/Settings.h"
#include "style/StyleWriter.h"

#include <optional>
#include <string>

namespace korvane {

// Save: asks for a file name (starting in the save folder, with the source file name), adds
// ".sty" to a name without extension, asks again for a name whose folder does not exist, asks
// before overwriting, writes the work and clears it.
// Refuses with a message when nothing is assigned; a failed write leaves the work as it was.
void RunSaveCommand(CAssignmentTable& table, CSettings& settings, IFileDialogs& dialogs);

// The folder of a chosen path when it is not an existing folder; nothing when it exists (a path
// without a folder lies in the current one). Save and the save dialog accept only existing
// folders.
std::optional<std::string> MissingFolderOf(const std::string& path);

// The message by which Save and the save dialog refuse a path whose folder does not exist.
std::string MissingFolderMessage(const std::string& folder);

// Writes the table's work to path through the engine's one path from slots to bytes (Save and
// Play alike): Ok on success, Failed after a message; AlreadyExists, unsaid, when the options keep
// an existing file. The destination properties are made from the source ones the first time the
// work is written. Does not clear.
WriteResult WriteWork(CAssignmentTable& table, const std::string& path,
                      const StyleWriteOptions& options = {});

} // namespace korvane
