#include "assignment/OpenCommand.h"

#include "platform/Paths.h"

namespace korvane {

void RunOpenCommand(CAssignmentTable& table, CSettings& settings, IFileDialogs& dialogs) {
    const auto path = dialogs.GetOpenFileName(settings.styleFolder, StyleFileFilters());
    if (!path)
        return;
    OpenStyleFile(table, settings, *path);
}

ReadResult OpenStyleFile(CAssignmentTable& table, CSettings& settings, const std::string& path) {
    // The default style location takes the folder, not the file: Preferences shows it and a next
    // run starts Open there.
    const std::string folder = FolderOfPath(path);
    if (!folder.empty()) {
        settings.defaultStyleLocation = folder;
        settings.styleFolder = folder;
    }
    table.PrepareForOpen(FileNameOfPath(path));
    const ReadResult result = ReadStyleFile(path, table.GetDocument(), table.GetMessages());
    if (result != ReadResult::Ok) {
        // The reader has said why. Whatever it read is dropped, so that no section of a broken
        // file (a damaged one read up to its fault, say) can be clicked and saved.
        table.DropFailedOpen();
        return result;
    }
    table.ShowOpenedSections();
    table.ReportOpened(path);
    return ReadResult::Ok;
}

} // namespace korvane
