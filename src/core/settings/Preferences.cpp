#include "settings/Preferences.h"

#include "platform/LeadingInteger.h"

#include <algorithm>
#include <filesystem>

namespace korvane {

PreferencesValues PreferencesFromSettings(const CSettings& settings) {
    return {settings.defaultModel,   settings.defaultStyleLocation,
            settings.auditionFolder, std::to_string(settings.recentListSize),
            settings.auditionOutput, settings.soundfont,
            settings.audioDriver};
}

bool ApplyPreferences(CSettings& settings, CRecentFiles& recentFiles,
                      const PreferencesValues& values) {
    settings.defaultModel = values.model;
    settings.defaultStyleLocation = values.styleLocation;
    settings.auditionFolder = values.auditionLocation;
    settings.recentListSize = static_cast<int>(LeadingInteger(values.recentListSize));
    settings.auditionOutput =
        values.auditionOutput.empty() ? kBuiltInSynthesizer : values.auditionOutput;
    settings.soundfont = values.soundfont;
    settings.audioDriver = values.audioDriver;
    std::vector<ProfileEntry> entries = PreferencesEntries(settings, values.recentListSize);
    const std::vector<ProfileEntry> audition = AuditionEntries(settings);
    entries.insert(entries.end(), audition.begin(), audition.end());
    const std::vector<ProfileEntry> recent = recentFiles.Fit(settings);
    entries.insert(entries.end(), recent.begin(), recent.end());
    return WriteSettings(settings, entries);
}

std::string BrowsedFolderOr(const std::optional<std::string>& chosen, const std::string& current) {
    return chosen && !chosen->empty() ? *chosen : current;
}

std::vector<AuditionOutputChoice> AuditionOutputChoices(const std::vector<std::string>& ports,
                                                        const std::string& current) {
    std::vector<AuditionOutputChoice> choices{{kBuiltInSynthesizer, kBuiltInSynthesizerText}};
    for (const std::string& port : ports) {
        // A port named like the synthesizer's value could not be told apart from it in the file.
        if (port.empty() || port == kBuiltInSynthesizer ||
            std::any_of(choices.begin(), choices.end(),
                        [&](const AuditionOutputChoice& choice) { return choice.value == port; }))
            continue;
        choices.push_back({port, port});
    }
    if (!current.empty() &&
        std::none_of(choices.begin(), choices.end(),
                     [&](const AuditionOutputChoice& choice) { return choice.value == current; }))
        choices.push_back({current, current + kMissingPortSuffix});
    return choices;
}

std::vector<FileFilter> SoundfontFileFilters() {
    return {{"Soundfonts (*.sf2)", "*.sf2"}, {"All Files (*.*)", "*.*"}};
}

std::string SoundfontBrowseFolder(const std::string& currentSoundfont) {
    if (!currentSoundfont.empty()) {
        const std::filesystem::path folder = std::filesystem::path(currentSoundfont).parent_path();
        std::error_code error;
        if (!folder.empty() && std::filesystem::is_directory(folder, error))
            return folder.string();
    }
    return kSystemSoundfontFolder;
}

std::vector<AuditionOutputChoice> AudioDriverChoices(const std::string& current) {
    std::vector<AuditionOutputChoice> choices{{"", "Automatic"},
                                              {"pipewire", "PipeWire"},
                                              {"pulseaudio", "PulseAudio"},
                                              {"jack", "JACK"},
                                              {"alsa", "ALSA"}};
    if (std::none_of(choices.begin(), choices.end(),
                     [&](const AuditionOutputChoice& choice) { return choice.value == current; }))
        choices.push_back({current, current});
    return choices;
}

} // namespace korvane
