#include "assignment/SaveCommand.h"

#include "platform/Paths.h"

#include <filesystem>

namespace korvane {
namespace {

bool FileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error); // a path that cannot be probed counts as new
}

} // namespace

WriteResult WriteWork(CAssignmentTable& table, const std::string& path, std::uint16_t resolution) {
    return WriteStyleDocument(path, table.GetDocument(), table.GetSlots(), table.GetMessages(),
                              resolution);
}

void RunSaveCommand(CAssignmentTable& table, CSettings& settings, IFileDialogs& dialogs) {
    IMessageBox& messages = table.GetMessages();
    if (table.GetDocument().GetAssignedSections().empty()) {
        messages.Show("You must first assign style sections\nso that you have something to save.",
                      "Sorry...", MessageIcon::Exclamation, MessageButtons::Ok);
        return;
    }
    for (;;) {
        auto chosen = dialogs.GetSaveFileName(settings.saveFolder, table.GetSourceFileName(),
                                              StyleFileFilters());
        if (!chosen)
            return;
        std::string path = *chosen;
        if (!std::filesystem::path(FileNameOfPath(path)).has_extension())
            path += ".sty";
        table.SetSourceFileName(FileNameOfPath(path));
        if (const std::string folder = FolderOfPath(path); !folder.empty())
            settings.saveFolder = folder;

        if (FileExists(path) &&
            messages.Show(path + " \nalready exists. Do you wish to overwrite anyway?", "Save File",
                          MessageIcon::Exclamation, MessageButtons::YesNo) != MessageAnswer::Yes)
            continue; // No: the dialog again
        if (WriteWork(table, path) == WriteResult::Ok)
            table.Clear();
        return; // a failed write has been reported and leaves the work as it was
    }
}

} // namespace korvane
