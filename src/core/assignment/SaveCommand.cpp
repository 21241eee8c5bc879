#include "assignment/SaveCommand.h"

#include "assignment/ConversionEngine.h"
#include "platform/Paths.h"

#include <filesystem>

namespace korvane {
namespace {

bool FileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error); // a path that cannot be probed counts as new
}

} // namespace

WriteResult WriteWork(CAssignmentTable& table, const std::string& path,
                      const StyleWriteOptions& options) {
    CStyleDocument& document = table.GetDocument();
    ConversionRequest request;
    request.made = MadeAssignment{&document, &table.GetSlots()};
    request.path = table.GetSourceFileName();
    request.resolution = options.resolution;
    request.target = options.toStandardOutput ? "standard output" : path;
    ConvertedStyle converted = ConvertStyle(request);
    Outcome outcome = converted.outcome;
    if (!outcome)
        outcome = WriteStyleBytes(path, converted.bytes, options);
    if (outcome.failure == Failure::Exists)
        return WriteResult::AlreadyExists; // the caller names its own way out
    if (outcome) {
        ShowOutcome(table.GetMessages(), outcome);
        return WriteResult::Failed;
    }
    // The destination properties are made from the source ones the first time they are written.
    if (!document.GetDestinationProperties()) {
        document.EnsureDestinationProperties();
        document.ReleaseSourceProperties();
    }
    return WriteResult::Ok;
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
        if (const auto missing = MissingFolderOf(path)) {
            // As the dialog itself would: the name is refused and the dialog opens again with
            // nothing changed.
            messages.Show(MissingFolderMessage(*missing), "Sorry...", MessageIcon::Exclamation,
                          MessageButtons::Ok);
            continue;
        }
        if (!std::filesystem::path(FileNameOfPath(path)).has_extension())
            path += ".sty";
        table.SetSourceFileName(FileNameOfPath(path));
        if (const std::string folder = FolderOfPath(path); !folder.empty())
            settings.saveFolder = folder;

        auto mayOverwrite = [&] {
            return messages.Show(path + " \nalready exists. Do you wish to overwrite anyway?",
                                 "Save File", MessageIcon::Exclamation,
                                 MessageButtons::YesNo) == MessageAnswer::Yes;
        };
        StyleWriteOptions options;
        if (FileExists(path)) {
            if (!mayOverwrite())
                continue; // No: the dialog again
        } else {
            // A file that another program puts there while we write is not replaced unasked.
            options.existing = ExistingFile::Keep;
        }
        WriteResult result = WriteWork(table, path, options);
        if (result == WriteResult::AlreadyExists) {
            if (!mayOverwrite())
                continue;
            result = WriteWork(table, path);
        }
        if (result == WriteResult::Ok)
            table.FinishSave(path);
        return; // a failed write has been reported and leaves the work as it was
    }
}

std::optional<std::string> MissingFolderOf(const std::string& path) {
    const std::string folder = FolderOfPath(path);
    if (folder.empty())
        return std::nullopt;
    std::error_code error;
    if (std::filesystem::is_directory(folder, error))
        return std::nullopt;
    return folder;
}

std::string MissingFolderMessage(const std::string& folder) {
    return "The folder " + folder + " does not exist.\nChoose an existing folder.";
}

} // namespace korvane
