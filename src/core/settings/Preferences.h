#pragma once

#include "platform/FileDialogs.h"
#include "settings/RecentFiles.h"
#include "settings/Settings.h"

#include <optional>
#include <string>
#include <vector>

namespace korvane {

// What the Preferences dialog shows and takes back: the texts of its boxes and the chosen model.
struct PreferencesValues {
    int model = 0;
    std::string styleLocation;
    std::string auditionLocation;
    std::string recentListSize;                       // as typed; stored unchecked
    std::string auditionOutput = kBuiltInSynthesizer; // "synthesizer" or a MIDI port name
    std::string soundfont;                            // empty: the system's soundfont
    std::string audioDriver;                          // empty: automatic
    bool operator==(const PreferencesValues&) const = default;
};

// The dialog's starting values. The model list opens on the current default model, so that OK
// without touching the list keeps it.
PreferencesValues PreferencesFromSettings(const CSettings& settings);

// The folder browser's titles of the two Browse buttons.
inline constexpr const char* kStyleFolderBrowserTitle = "Please select a style folder.";
inline constexpr const char* kAuditionFolderBrowserTitle =
    "Please select a temporary audition folder.";

// Preferences OK: the values take effect in memory and are written at once as
// "PSR Model"/"model", "Style Base"/"folder", "Audit Location"/"folder",
// "Most Recently Used"/"size", "Audition"/"output" and "Audition"/"soundfont", in that order. The
// audition uses the new output and soundfont from its next open (the next Play after a Stop). The
// style and save folders stay as they are, so a new default style location is used from the next
// start. The recent files are cut to the new list size, and the entries dropped are emptied in
// the file. All of it is one rewrite of the file. Returns false when it could not be written; the
// values in memory are set either way. The caller then runs the model change request with
// values.model.
bool ApplyPreferences(CSettings& settings, CRecentFiles& recentFiles,
                      const PreferencesValues& values);

// Browse: the chosen folder replaces the box's text; a cancelled browser or an empty path leaves
// the text as it was.
std::string BrowsedFolderOr(const std::optional<std::string>& chosen, const std::string& current);

// One entry of the "Audition output" drop-down: the value the setting stores and the text shown.
struct AuditionOutputChoice {
    std::string value;
    std::string text;
    bool operator==(const AuditionOutputChoice&) const = default;
};

// The "Audio driver" drop-down: "Automatic" (the empty value), then the drivers the synthesizer
// can use, then the current setting when it names another.
std::vector<AuditionOutputChoice> AudioDriverChoices(const std::string& current);

inline constexpr const char* kBuiltInSynthesizerText = "Built-in synthesizer";
inline constexpr const char* kMissingPortSuffix = " (not connected)";

// The drop-down's entries: the built-in synthesizer, then the MIDI output ports present now (as
// the audition subsystem lists them), then the current setting when it names a port that is not
// present now, so that OK without touching the list keeps it.
std::vector<AuditionOutputChoice> AuditionOutputChoices(const std::vector<std::string>& ports,
                                                        const std::string& current);

// The soundfont Browse button's file dialog: its filters, and the folder it starts in (the
// current soundfont's folder, else the system's soundfont folder).
std::vector<FileFilter> SoundfontFileFilters();
std::string SoundfontBrowseFolder(const std::string& currentSoundfont);

} // namespace korvane
