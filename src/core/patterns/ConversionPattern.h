#pragma once

#include "assignment/AssignmentTable.h"
#include "platform/FolderBrowser.h"
#include "settings/Settings.h"

#include <array>
#include <optional>
#include <string>

namespace korvane {

using ConversionPattern = std::array<PatternStep, kSlotCount>;

// --- the step format ------------------------------------------------------------------------
// A stored step is "from,to", read back by splitting at the first comma and cut to 63 bytes.

constexpr std::size_t kStepMostBytes = 63;

// The stored text of a step: "from,to", or the empty value for a free step.
std::string FormatPatternStep(const PatternStep& step);

// Why a step cannot be stored so that it reads back as it is, or nothing when it can: a
// from-section name that holds a comma would be split there; a name with a NUL would be cut, one
// that begins or ends with a blank trimmed, one enclosed in quotes unquoted; a text over 63 bytes
// would be cut.
std::optional<std::string> StepStoreProblem(const PatternStep& step);

// --- capture and replay -----------------------------------------------------------------------

// What Store Pattern captured: the 16 steps and whether any slot gave one.
struct CapturedPattern {
    ConversionPattern steps;
    bool anyStep = false;
};

// The pattern of the table's assignment: for each assigned slot, the slot's source section name
// and its destination label's caption; a free slot gives a free step. The source name comes from
// the slot itself, not from the assignment row's caption, so file names without a dot and
// section names with dots give the same steps as any other.
CapturedPattern CapturePattern(const CAssignmentTable& table);

// Store Pattern: refuses with message 57640 when no style file is open; else captures the
// pattern into the settings (the pattern-loaded flag is set when a step was captured), writes
// step0 to step15 and confirms. A step that could not read back as captured is stored free and
// named in a message instead of the confirmation. Returns true when the pattern was stored.
bool RunStorePattern(CAssignmentTable& table, CSettings& settings);

// Plays the pattern on the open file by names: the engine's plan by names (PlanByNames) for the
// layout shown, carried out by the table as the pairs' clicks. A source row already selected
// stays selected, so a section that the pattern puts into several slots goes into each of them.
void ApplyPattern(CAssignmentTable& table, const ConversionPattern& pattern);

// The pattern stored in a configuration file such as "Korvane.ini", read by the settings loader.
// A path that is not a regular file, or a file with no "Conversion Pattern" step, is reported
// through messages and gives nothing.
std::optional<ConversionPattern> ReadPatternFile(const std::string& path, IMessageBox& messages);

// --- the Conversions dialog's values ----------------------------------------------------------

struct ConversionFolders {
    std::string from;
    std::string to;
};

// A conversion folder as a dialog shows it or starts in: a folder never set (the key's "none")
// is nothing.
std::string ConversionFolderShown(const std::string& folder);

// The folders the dialog proposes: each conversion folder, or the default style location when it
// is empty; one never set is shown empty.
ConversionFolders ProposedConversionFolders(const CSettings& settings);

// Browse: the folder browser with the title, starting in folder; a confirmed, non-empty path
// replaces folder.
// Returns true when the folder changed.
bool BrowseConversionFolder(IFolderBrowser& browser, const std::string& title, std::string& folder);

constexpr const char* kBrowseFromTitle = "Select a style folder to read.";
constexpr const char* kBrowseToTitle = "Select a style folder to write conversions.";

// The dialog's OK: the folders and the two flags go into the settings and are written to
// "Conversion Files" as "from", "to", "overwrite", "entire".
void ConfirmConversions(CSettings& settings, const ConversionFolders& folders, bool overwrite,
                        bool entireFolder);

} // namespace korvane
