#pragma once

#include "assignment/AssignmentTable.h"
#include "platform/FileDialogs.h"
#include "settings/Settings.h"
#include "style/StyleWriter.h"

#include <string>

namespace korvane {

// Save: asks for a file name (starting in the save folder, with the source file name), adds
// ".sty" to a name without extension, asks before overwriting, writes the work and clears it.
// Refuses with a message when nothing is assigned; a failed write leaves the work as it was.
void RunSaveCommand(CAssignmentTable& table, CSettings& settings, IFileDialogs& dialogs);

// Writes the table's work to path: Ok on success, Failed after a message. Does not clear.
// A resolution other than 0 rescales the written style to that many pulses per quarter note.
WriteResult WriteWork(CAssignmentTable& table, const std::string& path,
                      std::uint16_t resolution = 0);

} // namespace korvane
