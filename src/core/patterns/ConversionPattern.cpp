#include "patterns/ConversionPattern.h"

#include "platform/Paths.h"

#include <filesystem>

namespace korvane {

std::string FormatPatternStep(const PatternStep& step) {
    return step.from.empty() ? std::string() : step.from + "," + step.to;
}

namespace {

// What the configuration reader would change in a name: it cuts a value at a NUL, trims the
// blanks around it and takes off quotes that enclose it.
std::optional<std::string> NameProblem(const std::string& name) {
    const std::string blanks = " \t\r\n\v\f";
    if (name.find('\0') != std::string::npos)
        return "holds a NUL";
    if (!name.empty() && (blanks.find(name.front()) != std::string::npos ||
                          blanks.find(name.back()) != std::string::npos))
        return "begins or ends with a blank";
    if (name.size() >= 2 && (name.front() == '"' || name.front() == '\'') &&
        name.back() == name.front())
        return "is enclosed in quotes";
    return std::nullopt;
}

} // namespace

std::optional<std::string> StepStoreProblem(const PatternStep& step) {
    if (step.from.empty())
        return std::nullopt;
    if (step.from.find(',') != std::string::npos)
        return "its from-section name holds a comma";
    if (auto problem = NameProblem(step.from))
        return "its from-section name " + *problem;
    if (auto problem = NameProblem(step.to))
        return "its to-section name " + *problem;
    if (auto problem = NameProblem(FormatPatternStep(step)))
        return "its names together are enclosed in quotes";
    if (FormatPatternStep(step).size() > kStepMostBytes)
        return "it is longer than " + std::to_string(kStepMostBytes) + " bytes";
    return std::nullopt;
}

CapturedPattern CapturePattern(const CAssignmentTable& table) {
    CapturedPattern captured;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const AssignmentSlot& assignment = table.GetSlots()[slot];
        if (table.GetAssignmentLabel(slot).caption.empty() || !assignment.assigned)
            continue;
        captured.steps[slot] = {assignment.sourceName, table.GetDestinationLabel(slot).caption};
        captured.anyStep = true;
    }
    return captured;
}

bool RunStorePattern(CAssignmentTable& table, CSettings& settings) {
    IMessageBox& messages = table.GetMessages();
    if (!table.GetDocument().HasSectionList()) {
        messages.Show("You must open a style file first\nso that you have something to store.",
                      "Sorry...", MessageIcon::Exclamation, MessageButtons::Ok);
        return false;
    }
    CapturedPattern captured = CapturePattern(table);
    std::string refused;
    for (int step = 0; step < kSlotCount; ++step) {
        PatternStep& captive = captured.steps[step];
        if (auto problem = StepStoreProblem(captive)) {
            refused += "\nstep " + std::to_string(step) + " (" + captive.from + " to " +
                       captive.to + "): " + *problem;
            captive = {};
        }
    }
    settings.pattern = captured.steps;
    if (captured.anyStep)
        settings.patternLoaded = true;
    WriteConversionPattern(settings); // a configuration that cannot be written is not reported

    if (!refused.empty()) {
        messages.Show("The pattern was stored without these steps, which would not read back "
                      "as they are:" +
                          refused,
                      "Sorry...", MessageIcon::Exclamation, MessageButtons::Ok);
        return false;
    }
    messages.Show("Pattern storage complete.", "You did it!", MessageIcon::Information,
                  MessageButtons::Ok);
    return true;
}

void ApplyPattern(CAssignmentTable& table, const ConversionPattern& pattern) {
    table.ApplyPlan(
        PlanByNames(table.GetDocument(), table.GetShownLayout(), {pattern.begin(), pattern.end()}));
}

std::optional<ConversionPattern> ReadPatternFile(const std::string& path, IMessageBox& messages) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(SystemPath(path), error)) {
        messages.Show(path + " is not a configuration file.", "Sorry...", MessageIcon::Exclamation,
                      MessageButtons::Ok);
        return std::nullopt;
    }
    CSettings settings;
    ReadSettingsFile(settings, path, std::string());
    if (!settings.patternLoaded) {
        messages.Show(path + " holds no conversion pattern.", "Sorry...", MessageIcon::Exclamation,
                      MessageButtons::Ok);
        return std::nullopt;
    }
    return settings.pattern;
}

std::string ConversionFolderShown(const std::string& folder) {
    return folder == "none" ? std::string() : folder;
}

ConversionFolders ProposedConversionFolders(const CSettings& settings) {
    auto orDefault = [&](const std::string& folder) {
        return folder.empty() ? settings.defaultStyleLocation : ConversionFolderShown(folder);
    };
    return {orDefault(settings.conversionSourceFolder), orDefault(settings.conversionTargetFolder)};
}

bool BrowseConversionFolder(IFolderBrowser& browser, const std::string& title,
                            std::string& folder) {
    const auto chosen = browser.BrowseForFolder(title, folder);
    if (!chosen || chosen->empty())
        return false;
    folder = *chosen;
    return true;
}

void ConfirmConversions(CSettings& settings, const ConversionFolders& folders, bool overwrite,
                        bool entireFolder) {
    settings.conversionSourceFolder = folders.from;
    settings.conversionTargetFolder = folders.to;
    settings.overwrite = overwrite;
    settings.entireFolder = entireFolder;
    WriteConversionFolders(settings); // not reported; the values hold for this run either way
}

} // namespace korvane
