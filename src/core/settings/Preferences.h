#pragma once

#include "settings/Settings.h"

#include <optional>
#include <string>

namespace korvane {

// What the Preferences dialog shows and takes back: the texts of its boxes and the chosen model.
struct PreferencesValues {
    int model = 0;
    std::string styleLocation;
    std::string auditionLocation;
    std::string recentListSize; // as typed; stored unchecked
    bool operator==(const PreferencesValues&) const = default;
};

// The dialog's starting values. The model list opens on the current default model, so that OK
// without touching the list keeps it.
PreferencesValues PreferencesFromSettings(const CSettings& settings);

// The folder browser's titles of the two Browse buttons.
inline constexpr const char* kStyleFolderBrowserTitle = "Please select a style folder.";
inline constexpr const char* kAuditionFolderBrowserTitle =
    "Please select a temporary audition folder.";

// Preferences OK: the four values take effect in memory and are written at once as
// "PSR Model"/"model", "Style Base"/"folder", "Audit Location"/"folder" and
// "Most Recently Used"/"size", in that order. The style and save folders stay as they are, so a new
// default style location is used from the next start. Returns false when a key could not be
// written; the values in memory are set either way. The caller then runs the model change request
// with values.model.
bool ApplyPreferences(CSettings& settings, const PreferencesValues& values);

// Browse: the chosen folder replaces the box's text; a cancelled browser or an empty path leaves
// the text as it was.
std::string BrowsedFolderOr(const std::optional<std::string>& chosen, const std::string& current);

} // namespace korvane
