#include "mainwin/OpenCommand.h"

#include "style/StyleReader.h"

namespace korvane {

void RunOpenCommand(CAssignmentTable& table, CSettings& settings, IFileDialogs& dialogs) {
    const auto path = dialogs.GetOpenFileName(settings.styleFolder, StyleFileFilters());
    if (!path)
        return;
    OpenStyleFile(table, settings, *path);
}

int OpenStyleFile(CAssignmentTable& table, CSettings& settings, const std::string& path) {
    // The default style location takes the folder, not the file: Preferences shows it and a next
    // run starts Open there.
    const std::string folder = FolderOfPath(path);
    if (!folder.empty()) {
        settings.defaultStyleLocation = folder;
        settings.styleFolder = folder;
    }
    table.PrepareForOpen(FileNameOfPath(path));
    const int result = ReadStyleFile(path, table.GetDocument(), table.GetMessages());
    if (result != 0)
        return result; // the reader has said why; the source column stays as it was
    table.ShowOpenedSections();
    return 0;
}

} // namespace korvane
