#include "batch/FolderConversion.h"

#include "assignment/OpenCommand.h"
#include "assignment/SaveCommand.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <unordered_map>

namespace korvane {
namespace {

namespace fs = std::filesystem;

// Each file's messages are kept for its report instead of being shown; questions get No.
class CCollectedMessages : public IMessageBox {
public:
    MessageAnswer Show(const std::string& text, const std::string&, MessageIcon,
                       MessageButtons buttons) override {
        if (!m_text.empty())
            m_text += "\n";
        m_text += text;
        return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }
    const std::string& Text() const { return m_text; }
    void Forget() { m_text.clear(); }

private:
    std::string m_text;
};

std::string Lowered(std::string text) {
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string OneLine(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at))
        text.replace(at, 1, " ");
    return text;
}

FileReport Report(const std::string& name, FileOutcome outcome, const std::string& message) {
    return {name, outcome, OneLine(message)};
}

// Files written before their group is made durable and named; large enough that the flush of
// the file system is a small part of a group's time, small enough that an interrupted run loses
// little.
constexpr std::size_t kFilesPerCommit = 128;

std::string JoinPath(const std::string& folder, const std::string& name) {
    return (fs::path(folder) / name).string();
}

} // namespace

std::size_t FolderConversionSummary::Count(FileOutcome outcome) const {
    return std::size_t(std::count_if(files.begin(), files.end(),
                                     [&](const FileReport& f) { return f.outcome == outcome; }));
}

std::size_t FolderConversionSummary::SkippedCount() const {
    return Count(FileOutcome::SkippedExists) + Count(FileOutcome::SkippedNotStyle);
}

unsigned DefaultFolderJobs() {
    constexpr unsigned kPerCore = 4;
    constexpr unsigned kMost = 64;
    return std::min(kMost, kPerCore * std::max(1u, std::thread::hardware_concurrency()));
}

bool IsStyleFileName(const std::string& name) {
    static const std::array<const char*, 6> kExtensions = {".sty", ".mid", ".prs",
                                                           ".sst", ".pst", ".bcs"};
    const std::string extension = Lowered(fs::path(name).extension().string());
    return std::find(kExtensions.begin(), kExtensions.end(), extension) != kExtensions.end();
}

FileOutcome ClassifyReadFailure(ReadResult result, const std::string& message) {
    if (result == ReadResult::Refused &&
        (message.find("is not a style file") != std::string::npos ||
         message.find("MIDI File") != std::string::npos))
        return FileOutcome::SkippedNotStyle;
    return FileOutcome::Failed;
}

FileReport ConvertFolderFile(const FolderConversionJob& job, const std::string& name,
                             CCommitGroup* group) {
    const std::string source = JoinPath(job.sourceFolder, name);
    const std::string target = JoinPath(job.targetFolder, name);
    try {
        std::error_code error;
        if (!job.overwrite && fs::exists(fs::symlink_status(target, error)))
            return Report(name, FileOutcome::SkippedExists, "exists");
        // Only a regular file is read: a FIFO or a device would block or never end.
        if (!fs::is_regular_file(fs::status(source, error)))
            return Report(name, FileOutcome::SkippedNotStyle, "not a regular file");

        CCollectedMessages messages;
        CAssignmentTable table(messages);
        CSettings settings;
        table.SelectModel(job.modelIndex);
        table.Clear();
        const ReadResult read = OpenStyleFile(table, settings, source);
        if (read != ReadResult::Ok)
            return Report(name, ClassifyReadFailure(read, messages.Text()), messages.Text());

        switch (job.mode) {
        case AssignmentMode::Pattern:
            ApplyPattern(table, job.pattern);
            break;
        case AssignmentMode::ByName:
            table.AssignByName();
            break;
        case AssignmentMode::CopyAll:
            table.CopyAll();
            break;
        }
        if (table.GetDocument().GetAssignedSections().empty())
            return Report(name, FileOutcome::Failed,
                          "No section of this style matches a slot of the model.");
        const bool fromSff2 = table.GetDocument().GetConversionReport() != nullptr;
        messages.Forget(); // what the clicks said is not the file's outcome
        StyleWriteOptions write;
        write.resolution = job.resolution;
        write.existing = job.overwrite ? ExistingFile::Replace : ExistingFile::Keep;
        write.group = group;
        const WriteResult written = WriteWork(table, target, write);
        if (written == WriteResult::AlreadyExists)
            return Report(name, FileOutcome::SkippedExists, "exists");
        if (written != WriteResult::Ok)
            return Report(name, FileOutcome::Failed, messages.Text());
        return Report(name, FileOutcome::Converted, fromSff2 ? "converted from SFF2" : "");
    } catch (const std::bad_alloc&) {
        return Report(name, FileOutcome::Failed, "Not enough memory to convert this file.");
    } catch (const std::exception& problem) {
        return Report(name, FileOutcome::Failed, problem.what());
    }
}

std::optional<FolderConversionSummary> ConvertFolder(const FolderConversionJob& job,
                                                     IMessageBox& messages,
                                                     const FolderProgress& progress,
                                                     const std::atomic<bool>& cancel) {
    std::error_code error;
    if (!fs::is_directory(job.targetFolder, error)) {
        messages.Show("The folder " + job.targetFolder + " does not exist.\nNothing was converted.",
                      "Sorry...", MessageIcon::Exclamation, MessageButtons::Ok);
        return std::nullopt;
    }
    if (fs::equivalent(job.sourceFolder, job.targetFolder, error)) {
        messages.Show("The folders " + job.sourceFolder + " and " + job.targetFolder +
                          " are the same folder.\nNothing was converted.",
                      "Sorry...", MessageIcon::Exclamation, MessageButtons::Ok);
        return std::nullopt;
    }
    std::vector<std::string> names;
    fs::directory_iterator entries(job.sourceFolder, error);
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        const std::string name = entries->path().filename().string();
        if (IsStyleFileName(name))
            names.push_back(name);
    }
    if (error) {
        messages.Show("Cannot read the folder " + job.sourceFolder + ".\nNothing was converted.",
                      "Sorry...", MessageIcon::Exclamation, MessageButtons::Ok);
        return std::nullopt;
    }
    std::sort(names.begin(), names.end());

    FolderConversionSummary summary;
    summary.styleFiles = names.size();
    std::vector<std::optional<FileReport>> reports(names.size());
    std::atomic<std::size_t> next{0};
    std::mutex progressLock;
    std::size_t started = 0;

    // The files are made durable in groups: a flush of the whole file system costs about what
    // one file's flush costs. What a commit says of a file is kept apart from the file's report
    // (another thread may still be writing that), and applied once every worker has ended.
    CCommitGroup group;
    std::unordered_map<std::string, std::size_t> indexOfTarget;
    for (std::size_t i = 0; i < names.size(); ++i)
        indexOfTarget.emplace(JoinPath(job.targetFolder, names[i]), i);
    std::vector<WriteFailure> commitFailures(names.size());
    auto commit = [&] {
        for (const CCommitGroup::Outcome& outcome : group.Commit())
            commitFailures[indexOfTarget.at(outcome.path)] = outcome.failure;
    };

    auto work = [&] {
        for (;;) {
            if (cancel.load())
                return;
            const std::size_t index = next.fetch_add(1);
            if (index >= names.size())
                return;
            if (progress) {
                const std::lock_guard<std::mutex> lock(progressLock);
                progress(++started, names.size(), names[index]);
            }
            reports[index] = ConvertFolderFile(job, names[index], &group);
            if (group.Size() >= kFilesPerCommit)
                commit();
        }
    };

    unsigned jobs = job.jobs ? job.jobs : DefaultFolderJobs();
    jobs = unsigned(std::min<std::size_t>(jobs, std::max<std::size_t>(1, names.size())));
    std::vector<std::thread> workers;
    workers.reserve(jobs);
    for (unsigned i = 1; i < jobs; ++i) {
        try {
            workers.emplace_back(work);
        } catch (const std::system_error&) {
            break; // no more threads to be had (a process limit): the ones started do the work
        }
    }
    work();
    for (std::thread& worker : workers)
        worker.join();
    commit(); // the files of a cancelled run that were under way are complete too

    for (std::size_t i = 0; i < reports.size(); ++i) {
        if (!reports[i])
            continue;
        const WriteFailure& failure = commitFailures[i];
        if (failure.stage == WriteStage::Exists)
            *reports[i] = Report(names[i], FileOutcome::SkippedExists, "exists");
        else if (failure)
            *reports[i] = Report(names[i], FileOutcome::Failed,
                                 WriteFailureText(JoinPath(job.targetFolder, names[i]), failure));
        summary.files.push_back(std::move(*reports[i]));
    }
    summary.cancelled = summary.files.size() < names.size();
    return summary;
}

std::string FolderSummaryText(const FolderConversionSummary& summary, std::size_t mostListed) {
    std::string text = "Converted: " + std::to_string(summary.Count(FileOutcome::Converted)) +
                       " of " + std::to_string(summary.styleFiles) + " style files.\n";
    text += "Skipped: " + std::to_string(summary.SkippedCount()) +
            " (exists: " + std::to_string(summary.Count(FileOutcome::SkippedExists)) +
            ", not a style: " + std::to_string(summary.Count(FileOutcome::SkippedNotStyle)) + ")\n";
    text += "Failed: " + std::to_string(summary.Count(FileOutcome::Failed)) + "\n";
    if (summary.cancelled)
        text += "Cancelled: " + std::to_string(summary.styleFiles - summary.files.size()) +
                " files were not converted.\n";

    std::size_t listed = 0;
    std::size_t unlisted = 0;
    for (const FileReport& file : summary.files) {
        if (file.outcome == FileOutcome::Converted && file.message.empty())
            continue;
        if (listed == mostListed) {
            ++unlisted;
            continue;
        }
        switch (file.outcome) {
        case FileOutcome::Converted:
            text += "\n" + file.name + " (" + file.message + ")";
            break;
        case FileOutcome::SkippedExists:
            text += "\n" + file.name + " (skipped, exists)";
            break;
        case FileOutcome::SkippedNotStyle:
        case FileOutcome::Failed:
            text += "\n" + file.name +
                    (file.outcome == FileOutcome::Failed ? " (failed)" : " (skipped, not a style)");
            if (!file.message.empty())
                text += ": " + file.message;
            break;
        }
        ++listed;
    }
    if (unlisted)
        text += "\n... and " + std::to_string(unlisted) + " more.";
    return text;
}

} // namespace korvane
