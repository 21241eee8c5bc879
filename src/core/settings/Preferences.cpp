#include "settings/Preferences.h"

#include "platform/LeadingInteger.h"

namespace korvane {

PreferencesValues PreferencesFromSettings(const CSettings& settings) {
    return {settings.defaultModel, settings.defaultStyleLocation, settings.auditionFolder,
            std::to_string(settings.recentListSize)};
}

bool ApplyPreferences(CSettings& settings, const PreferencesValues& values) {
    settings.defaultModel = values.model;
    settings.defaultStyleLocation = values.styleLocation;
    settings.auditionFolder = values.auditionLocation;
    settings.recentListSize = static_cast<int>(LeadingInteger(values.recentListSize));
    return WritePreferences(settings, values.recentListSize);
}

std::string BrowsedFolderOr(const std::optional<std::string>& chosen, const std::string& current) {
    return chosen && !chosen->empty() ? *chosen : current;
}

} // namespace korvane
