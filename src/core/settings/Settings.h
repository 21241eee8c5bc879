#pragma once

#include "settings/ProfileFile.h"

#include <array>
#include <string>
#include <vector>

namespace korvane {

// One step of the conversion pattern: from-section name and to-section name, both empty when
// the step is free.
struct PatternStep {
    std::string from;
    std::string to;
    bool operator==(const PatternStep&) const = default;
};

// The configuration values the main window holds for the whole run. Loaded once from
// "Korvane.ini" in the start-up folder; written back one key at a time.
// The "Audition"/"output" value that plays on the built-in synthesizer; any other value names a
// MIDI output port.
constexpr const char* kBuiltInSynthesizer = "synthesizer";
// Where the system's General MIDI soundfonts are installed.
constexpr const char* kSystemSoundfontFolder = "/usr/share/sounds/sf2";

struct CSettings {
    std::string configurationPath = "Korvane.ini";
    std::string defaultStyleLocation;
    std::string styleFolder; // where Open's dialog starts; follows the user's choices
    std::string saveFolder;  // where Save's dialog starts; follows the user's choices
    std::string auditionFolder;
    std::string auditionOutput = kBuiltInSynthesizer; // "synthesizer" or a MIDI port name
    std::string soundfont;   // the built-in synthesizer's soundfont; empty: the system's
    std::string audioDriver; // the synthesizer's audio driver; empty: the first that starts
    int defaultModel = 0;
    int recentListSize = 0;
    std::string lastFile;
    std::array<PatternStep, 16> pattern;
    bool patternLoaded = false;
    std::string conversionSourceFolder;
    std::string conversionTargetFolder;
    bool overwrite = false;
    bool entireFolder = false;
};

// The audition folder when the file names none: "C:\TEMP" on Windows, elsewhere "korvane" in the
// user's runtime folder ($XDG_RUNTIME_DIR), else in the user's cache folder, so that no two users
// share it. Read from the environment: call it at start-up.
std::string DefaultAuditionFolder();

// Fills the settings from "Korvane.ini" in startFolder, creating the file empty when it is
// missing. Never fails: what cannot be read takes its default.
void LoadSettings(CSettings& settings, const std::string& startFolder);

// Fills the settings from the configuration file at path, which becomes the configuration path,
// as LoadSettings does but without creating the file (korvane-cli reads a pattern this way).
// startFolder is the default of the style location.
void ReadSettingsFile(CSettings& settings, const std::string& path, const std::string& startFolder);

// Writes one key to the configuration file at once, keeping every other line. Line breaks in the
// value are dropped so that a value can never break the file. Returns false when the file could
// not be written (callers ignore it, as the settings in memory stay valid for the run).
bool WriteSetting(const CSettings& settings, const std::string& section, const std::string& key,
                  const std::string& value);

// Writes the keys in one rewrite of the configuration file, in their order, keeping every other
// line: a command replaces the file once, however many keys it sets. Returns false when the file
// could not be written.
bool WriteSettings(const CSettings& settings, const std::vector<ProfileEntry>& entries);

// The keys of the dialogs, in the order they are written, and their writers, each replacing the
// file once. The writers return false when the file could not be written; the settings in memory
// stay as they are either way.

// Preferences OK: "PSR Model"/"model" (the default model index in decimal), "Style Base"/"folder",
// "Audit Location"/"folder", and "Most Recently Used"/"size" as the user typed it, unchecked.
std::vector<ProfileEntry> PreferencesEntries(const CSettings& settings,
                                             const std::string& recentListSizeText);
bool WritePreferences(const CSettings& settings, const std::string& recentListSizeText);

// The audition keys of Preferences OK, after the four: "Audition"/"output",
// "Audition"/"soundfont" and "Audition"/"driver".
std::vector<ProfileEntry> AuditionEntries(const CSettings& settings);

// Conversions OK: "Conversion Files"/"from", "to", "overwrite" and "entire", the flags as "Y" or
// the empty value.
bool WriteConversionFolders(const CSettings& settings);

// Store Pattern: "Conversion Pattern"/step0 to step15, a step as "from,to" or, when its
// from-section name is empty, the empty value, so that all sixteen keys are present afterwards.
bool WriteConversionPattern(const CSettings& settings);

} // namespace korvane
