#include "settings/Settings.h"

#include "platform/AtomicFile.h"
#include "platform/Console.h"
#include "platform/LeadingInteger.h"
#include "settings/ProfileFile.h"

#include <cstddef>
#include <cstdlib>
#include <filesystem>

namespace korvane {

namespace {

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

constexpr const char* kConfigurationName = "Korvane.ini";

// How many characters each key delivers at most; longer values are cut, so a model index
// stored as 1234 reads as 123.
constexpr std::size_t kFolderCharacters = 259;
constexpr std::size_t kNumberCharacters = 3;
constexpr std::size_t kStepCharacters = 63;
constexpr std::size_t kOverwriteCharacters = 9;
constexpr std::size_t kEntireCharacters = 1;

constexpr const char* kMissing = "none";

std::string ReadKey(const CProfileSnapshot& file, const char* section, const std::string& key,
                    const std::string& defaultValue, std::size_t mostCharacters) {
    return file.ReadString(section, key, defaultValue, mostCharacters + 1);
}

// A flag is set only by a value beginning with an upper-case Y.
bool IsFlagSet(const std::string& value) {
    return !value.empty() && value.front() == 'Y';
}

std::string StepKey(std::size_t step) {
    return "step" + std::to_string(step);
}

// The loader splits at the first comma; a value without one, or beginning with it, is kept as
// "something stored" (the flag) but gives no step.
PatternStep ParseStep(const std::string& value) {
    const auto comma = value.find(',');
    if (comma == std::string::npos || comma == 0)
        return {};
    return {value.substr(0, comma), value.substr(comma + 1)};
}

} // namespace

std::string DefaultAuditionFolder() {
#ifdef _WIN32
    return "C:\\TEMP";
#else
    // The user's own folder, never one every user of the machine shares: the runtime folder
    // (mode 700 by its definition), else the user's cache folder.
    auto absolute = [](const char* value) {
        return value && value[0] == kPathSeparator ? std::string(value) : std::string();
    };
    std::string base = absolute(std::getenv("XDG_RUNTIME_DIR"));
    if (base.empty())
        base = absolute(std::getenv("XDG_CACHE_HOME"));
    if (base.empty() && !absolute(std::getenv("HOME")).empty())
        base = absolute(std::getenv("HOME")) + "/.cache";
    if (base.empty())
        return "/tmp/korvane-" + CurrentUserNumber();
    while (base.size() > 1 && base.back() == kPathSeparator)
        base.pop_back();
    return base + "/korvane";
#endif
}

void LoadSettings(CSettings& settings, const std::string& startFolder) {
    settings.configurationPath = startFolder.empty()
                                     ? std::string(kConfigurationName)
                                     : startFolder + kPathSeparator + kConfigurationName;

    // Create the file empty when it is missing; a folder we may not write to simply leaves every
    // key at its default. Whatever holds the name already, a link that leads nowhere included,
    // is left alone.
    CreateFileIfMissing(settings.configurationPath);

    ReadSettingsFile(settings, settings.configurationPath, startFolder);
}

void ReadSettingsFile(CSettings& settings, const std::string& path,
                      const std::string& startFolder) {
    settings.configurationPath = path;
    // Read once: every key below is looked up in this text.
    const CProfileSnapshot file = CProfileSnapshot::Load(path);

    settings.defaultStyleLocation =
        ReadKey(file, "Style Base", "folder", startFolder, kFolderCharacters);
    settings.styleFolder = settings.defaultStyleLocation;
    settings.saveFolder = settings.defaultStyleLocation;

    settings.auditionFolder =
        ReadKey(file, "Audit Location", "folder", DefaultAuditionFolder(), kFolderCharacters);

    settings.auditionOutput =
        ReadKey(file, "Audition", "output", kBuiltInSynthesizer, kFolderCharacters);
    if (settings.auditionOutput.empty())
        settings.auditionOutput = kBuiltInSynthesizer;
    settings.soundfont = ReadKey(file, "Audition", "soundfont", "", kFolderCharacters);
    settings.audioDriver = ReadKey(file, "Audition", "driver", "", kFolderCharacters);

    settings.defaultModel = static_cast<int>(
        LeadingInteger(ReadKey(file, "PSR Model", "model", "0", kNumberCharacters)));
    settings.recentListSize = static_cast<int>(
        LeadingInteger(ReadKey(file, "Most Recently Used", "size", "8", kNumberCharacters)));

    settings.pattern = {};
    settings.patternLoaded = false;
    for (std::size_t step = 0; step < settings.pattern.size(); ++step) {
        const auto value =
            ReadKey(file, "Conversion Pattern", StepKey(step), kMissing, kStepCharacters);
        // Only the exact default means "not stored"; "None" is a value like any other.
        if (value == kMissing)
            continue;
        settings.patternLoaded = true;
        settings.pattern[step] = ParseStep(value);
    }

    settings.conversionSourceFolder =
        ReadKey(file, "Conversion Files", "from", kMissing, kFolderCharacters);
    settings.conversionTargetFolder =
        ReadKey(file, "Conversion Files", "to", kMissing, kFolderCharacters);
    settings.overwrite =
        IsFlagSet(ReadKey(file, "Conversion Files", "overwrite", kMissing, kOverwriteCharacters));
    settings.entireFolder =
        IsFlagSet(ReadKey(file, "Conversion Files", "entire", kMissing, kEntireCharacters));

    settings.lastFile = ReadKey(file, "Recent File List", "File1", kMissing, kFolderCharacters);
}

bool WriteSetting(const CSettings& settings, const std::string& section, const std::string& key,
                  const std::string& value) {
    return WriteSettings(settings, {{section, key, value}});
}

bool WriteSettings(const CSettings& settings, const std::vector<ProfileEntry>& entries) {
    // The profile file drops line breaks from the values, so a typed folder name can never end
    // the line early and smuggle in further keys.
    return CProfileFile(settings.configurationPath).WriteStrings(entries);
}

std::vector<ProfileEntry> PreferencesEntries(const CSettings& settings,
                                             const std::string& recentListSizeText) {
    return {{"PSR Model", "model", std::to_string(settings.defaultModel)},
            {"Style Base", "folder", settings.defaultStyleLocation},
            {"Audit Location", "folder", settings.auditionFolder},
            {"Most Recently Used", "size", recentListSizeText}};
}

bool WritePreferences(const CSettings& settings, const std::string& recentListSizeText) {
    return WriteSettings(settings, PreferencesEntries(settings, recentListSizeText));
}

std::vector<ProfileEntry> AuditionEntries(const CSettings& settings) {
    return {{"Audition", "output", settings.auditionOutput},
            {"Audition", "soundfont", settings.soundfont},
            {"Audition", "driver", settings.audioDriver}};
}

bool WriteConversionFolders(const CSettings& settings) {
    return WriteSettings(settings,
                         {{"Conversion Files", "from", settings.conversionSourceFolder},
                          {"Conversion Files", "to", settings.conversionTargetFolder},
                          {"Conversion Files", "overwrite", settings.overwrite ? "Y" : ""},
                          {"Conversion Files", "entire", settings.entireFolder ? "Y" : ""}});
}

bool WriteConversionPattern(const CSettings& settings) {
    std::vector<ProfileEntry> entries;
    for (std::size_t step = 0; step < settings.pattern.size(); ++step) {
        const PatternStep& pattern = settings.pattern[step];
        entries.push_back({"Conversion Pattern", StepKey(step),
                           pattern.from.empty() ? "" : pattern.from + "," + pattern.to});
    }
    return WriteSettings(settings, entries);
}

} // namespace korvane
