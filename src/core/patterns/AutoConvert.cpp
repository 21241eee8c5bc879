#include "patterns/AutoConvert.h"

#include "assignment/OpenCommand.h"
#include "assignment/SaveCommand.h"

namespace korvane {

std::string EntireFolderQuestion(const CSettings& settings) {
    return "You are about to convert an entire folder of style files\n  from\n" +
           settings.conversionSourceFolder + "\n  to\n" + settings.conversionTargetFolder +
           "\n\nAre you sure?";
}

void RunAutoConvert(CAssignmentTable& table, CSettings& settings, IFileDialogs& dialogs,
                    const std::function<void()>& convertEntireFolder) {
    IMessageBox& messages = table.GetMessages();
    if (!settings.patternLoaded) {
        messages.Show("You must first set up or load a conversion pattern.", "Sorry...",
                      MessageIcon::None, MessageButtons::Ok);
        return;
    }
    if (settings.entireFolder) {
        if (messages.Show(EntireFolderQuestion(settings), "Alert...", MessageIcon::Question,
                          MessageButtons::YesNo) != MessageAnswer::Yes)
            return;
        convertEntireFolder();
        return;
    }

    settings.styleFolder = ConversionFolderShown(settings.conversionSourceFolder);
    RunOpenCommand(table, settings, dialogs);
    settings.conversionSourceFolder = settings.styleFolder;
    if (!table.GetDocument().HasSectionList())
        return; // cancelled with nothing open before

    ApplyPattern(table, settings.pattern);
    for (SwitchedButton button :
         {SwitchedButton::Clear, SwitchedButton::Save, SwitchedButton::Properties})
        table.SwitchButtonOn(button);

    settings.saveFolder = ConversionFolderShown(settings.conversionTargetFolder);
    RunSaveCommand(table, settings, dialogs);
    settings.conversionTargetFolder = settings.saveFolder;
}

} // namespace korvane
