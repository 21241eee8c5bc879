#include "batch/FolderConversion.h"

#include "assignment/ConversionEngine.h"
#include "assignment/ModelCatalogue.h"
#include "platform/ErrorCode.h"
#include "platform/Paths.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <unordered_map>

namespace korvane {
namespace {

namespace fs = std::filesystem;

std::string Lowered(std::string text) {
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string OneLine(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

// A group is made durable and named once a second, or sooner when it holds this many files: each
// commit waits for the disk about as long as a few hundred small files take to convert, and an
// interrupted run loses at most a second's work. Smaller groups start the disk sooner, so less is
// left to write at the end, and each new file stays open without a name until its commit, so
// this bounds the descriptors they hold.
constexpr std::size_t kMostFilesPerCommit = 256;
constexpr std::chrono::seconds kCommitInterval{1};

std::string JoinPath(const std::string& folder, const std::string& name) {
    return NameOfPath(FileSystemPath(folder) / FileSystemPath(name));
}

// The most files converted at once: each holds up to three descriptors (the source, the new file,
// the file it replaces), beside the new files that wait for their commit (half of what the
// process may open) and a few for the rest of the program.
unsigned MostJobsForOpenFiles() {
    constexpr int kKeptAside = 32;
    return unsigned(std::max(1, (MostOpenFiles() / 2 - kKeptAside) / 3));
}

bool OutOfDescriptors(const Outcome& outcome) {
    return (outcome.failure == Failure::CannotOpen || outcome.failure == Failure::CannotCreate) &&
           (outcome.errorCode == EMFILE || outcome.errorCode == ENFILE);
}

void ShowFolderFailure(IMessageBox& messages, const std::string& text) {
    messages.Show(text + "\nNothing was converted.", "Sorry...", MessageIcon::Exclamation,
                  MessageButtons::Ok);
}

// Latin Extended-A puts each capital just before its small letter: the capitals are even from
// U+0100 to U+0136 and from U+014A to U+0176, odd from U+0139 to U+0147 and from U+0179 to U+017D.
bool IsLatinExtendedACapital(unsigned code) {
    if ((code >= 0x100 && code <= 0x136) || (code >= 0x14A && code <= 0x176))
        return code % 2 == 0;
    if ((code >= 0x139 && code <= 0x147) || (code >= 0x179 && code <= 0x17D))
        return code % 2 == 1;
    return false;
}

} // namespace

std::string FoldedName(const std::string& name) {
    std::string folded = name;
    for (std::size_t i = 0; i < folded.size(); ++i) {
        const auto byte = static_cast<unsigned char>(folded[i]);
        if (byte < 0x80) {
            folded[i] = char(std::tolower(byte));
            continue;
        }
        const auto next = i + 1 < folded.size() ? static_cast<unsigned char>(folded[i + 1]) : 0;
        if ((byte & 0xE0) != 0xC0 || (next & 0xC0) != 0x80)
            continue;
        unsigned code = ((byte & 0x1Fu) << 6) | (next & 0x3Fu);
        if ((code >= 0xC0 && code <= 0xDE && code != 0xD7) || (code >= 0x391 && code <= 0x3AB) ||
            (code >= 0x410 && code <= 0x42F))
            code += 0x20;
        else if (code >= 0x400 && code <= 0x40F)
            code += 0x50;
        else if (code == 0x178)
            code = 0xFF; // Y with diaeresis, whose small letter is in Latin-1
        else if (IsLatinExtendedACapital(code))
            code += 1;
        folded[i] = char(0xC0 | (code >> 6));
        folded[i + 1] = char(0x80 | (code & 0x3F));
        ++i;
    }
    return folded;
}

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
    const std::string extension = Lowered(NameOfPath(FileSystemPath(name).extension()));
    return std::find(kExtensions.begin(), kExtensions.end(), extension) != kExtensions.end();
}

FileOutcome OutcomeOfFile(Failure failure) {
    if (failure == Failure::None)
        return FileOutcome::Converted;
    if (failure == Failure::Exists)
        return FileOutcome::SkippedExists;
    if (failure == Failure::NotRegularFile || IsNotAStyle(failure))
        return FileOutcome::SkippedNotStyle;
    return FileOutcome::Failed;
}

FileReport ReportOfFile(const std::string& name, const Outcome& outcome, bool fromSff2) {
    return {name, OutcomeOfFile(outcome.failure), outcome, fromSff2};
}

std::string FileReportText(const FileReport& report, const NameForm& nameForm) {
    switch (report.failure.failure) {
    case Failure::None:
        return report.fromSff2 ? "converted from SFF2" : "";
    case Failure::Exists:
        return "exists";
    case Failure::NotRegularFile:
        return "not a regular file";
    default:
        return OneLine(OutcomeText(report.failure, nameForm));
    }
}

// The conversion's bytes for one file, or why there are none.
ConvertedStyle ConvertForFolder(const FolderConversionJob& job, const std::string& name,
                                const std::string& target) {
    ConversionRequest request;
    request.path = JoinPath(job.sourceFolder, name);
    const auto& models = ModelNames();
    const bool known = job.modelIndex >= 0 && job.modelIndex < int(models.size());
    request.layout = LayoutOfModel(known ? models[std::size_t(job.modelIndex)] : std::string());
    switch (job.mode) {
    case AssignmentMode::Pattern:
        request.rule = PlanRule::ByNames;
        request.pairs.assign(job.pattern.begin(), job.pattern.end());
        break;
    case AssignmentMode::ByName:
        request.rule = PlanRule::ByName;
        break;
    case AssignmentMode::CopyAll:
        request.rule = PlanRule::CopyAll;
        break;
    }
    request.resolution = job.resolution;
    request.target = target;
    request.voiceChanges = job.voiceChanges;
    return ConvertStyle(request);
}

FileReport ConvertFolderFile(const FolderConversionJob& job, const std::string& name,
                             CCommitGroup* group) try {
    const std::string target = JoinPath(job.targetFolder, name);
    std::error_code error;
    if (!job.overwrite && fs::exists(fs::symlink_status(SystemPath(target), error)))
        return ReportOfFile(name, MakeOutcome(Failure::Exists, target), false);

    const ConvertedStyle converted = ConvertForFolder(job, name, target);
    if (converted.outcome)
        return ReportOfFile(name, converted.outcome, false);

    // The conversion is done; only the write is left. Without overwrite a file that took the
    // name meanwhile is kept, and this one counts as skipped.
    StyleWriteOptions write;
    write.existing = job.overwrite ? ExistingFile::Replace : ExistingFile::Keep;
    write.group = group;
    return ReportOfFile(name, WriteStyleBytes(target, converted.bytes, write), converted.fromSff2);
} catch (const std::bad_alloc&) {
    return ReportOfFile(name, MakeOutcome(Failure::OutOfMemory), false);
}

std::optional<FolderConversionSummary> ConvertFolder(const FolderConversionJob& job,
                                                     IMessageBox& messages,
                                                     const FolderProgress& progress,
                                                     const std::atomic<bool>& cancel) {
    std::error_code error;
    // Names are bytes; SystemPath gives std::filesystem what each system takes.
    const fs::path source = SystemPath(job.sourceFolder);
    const fs::path target = SystemPath(job.targetFolder);
    std::vector<std::string> names;
    int listError = 0;
    if (!FolderEntryNames(job.sourceFolder, names, listError)) {
        ShowFolderFailure(messages, "Cannot read the folder " + job.sourceFolder + ". (" +
                                        ErrorCodeText(listError) + ")");
        return std::nullopt;
    }
    std::erase_if(names, [](const std::string& name) { return !IsStyleFileName(name); });
    if (job.createTarget && !fs::exists(fs::symlink_status(target, error)) &&
        !fs::create_directory(target, error) && error) {
        ShowFolderFailure(messages, "Cannot create the folder " + job.targetFolder + ". (" +
                                        ErrorCodeText(error.value()) + ")");
        return std::nullopt;
    }
    if (!fs::is_directory(target, error)) {
        ShowFolderFailure(messages, "The folder " + job.targetFolder + " does not exist.");
        return std::nullopt;
    }
    // The folders themselves are compared, however they are spelt ("in", "in/", a link to it).
    const std::optional<FileIdentity> sourceIdentity = IdentityOf(job.sourceFolder);
    if (sourceIdentity && sourceIdentity == IdentityOf(job.targetFolder)) {
        ShowFolderFailure(messages, "The folders " + job.sourceFolder + " and " + job.targetFolder +
                                        " are the same folder.");
        return std::nullopt;
    }
    RemoveLeftoverTemporaries(job.targetFolder);
    std::sort(names.begin(), names.end());

    FolderConversionSummary summary;
    summary.styleFiles = names.size();
    std::vector<std::optional<FileReport>> reports(names.size());

    // Files that would not be written as they should are failed before any is written: a name
    // that is another file's on the target volume (only the first keeps it), and, where files
    // are replaced, a target that is one of the source files (through a link) or leads to one.
    std::vector<FileIdentity> sources;
    for (const std::string& name : names) {
        if (const auto identity = IdentityOf(JoinPath(job.sourceFolder, name)))
            sources.push_back(*identity);
    }
    const bool ignoresCase = FolderIgnoresCase(job.targetFolder);
    std::unordered_map<std::string, std::size_t> firstOfName;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string target = JoinPath(job.targetFolder, names[i]);
        const auto [first, isFirst] =
            firstOfName.emplace(ignoresCase ? FoldedName(names[i]) : names[i], i);
        const std::optional<FileIdentity> identity = IdentityOf(target);
        if (!isFirst) {
            Outcome outcome = MakeOutcome(Failure::SameNameOnVolume, target);
            outcome.reason = names[first->second];
            reports[i] = ReportOfFile(names[i], outcome, false);
        } else if (job.overwrite && identity &&
                   std::find(sources.begin(), sources.end(), *identity) != sources.end()) {
            reports[i] = ReportOfFile(names[i], MakeOutcome(Failure::IsSourceFile, target), false);
        }
    }
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
    using Clock = std::chrono::steady_clock;
    std::atomic<Clock::rep> lastCommit{Clock::now().time_since_epoch().count()};
    auto commitDue = [&] {
        const Clock::time_point last{Clock::duration(lastCommit.load())};
        return group.Size() >= kMostFilesPerCommit || Clock::now() - last >= kCommitInterval;
    };
    auto commit = [&] {
        lastCommit.store(Clock::now().time_since_epoch().count());
        for (const CCommitGroup::CommittedFile& outcome : group.Commit())
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
            if (reports[index])
                continue;
            reports[index] = ConvertFolderFile(job, names[index], &group);
            // The process ran out of descriptors, not the file of anything: once the new files
            // waiting for their names have them, the file is tried again.
            if (OutOfDescriptors(reports[index]->failure)) {
                commit();
                reports[index] = ConvertFolderFile(job, names[index], &group);
            }
            if (commitDue())
                commit();
        }
    };

    unsigned jobs = std::min(job.jobs ? job.jobs : DefaultFolderJobs(), MostJobsForOpenFiles());
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
        // A file that could not take its name when the group committed reports why.
        if (const WriteFailure& failure = commitFailures[i])
            *reports[i] = ReportOfFile(
                names[i], WriteOutcome(JoinPath(job.targetFolder, names[i]), failure), false);
        summary.files.push_back(std::move(*reports[i]));
    }
    summary.cancelled = summary.files.size() < names.size();
    return summary;
}

std::string FolderSummaryText(const FolderConversionSummary& summary, std::size_t mostListed,
                              const NameForm& nameForm) {
    auto shown = [&](const std::string& name) { return nameForm ? nameForm(name) : name; };
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
        const std::string message = FileReportText(file, nameForm);
        if (file.outcome == FileOutcome::Converted && message.empty())
            continue;
        if (listed == mostListed) {
            ++unlisted;
            continue;
        }
        switch (file.outcome) {
        case FileOutcome::Converted:
            text += "\n" + shown(file.name) + " (" + message + ")";
            break;
        case FileOutcome::SkippedExists:
            text += "\n" + shown(file.name) + " (skipped, exists)";
            break;
        case FileOutcome::SkippedNotStyle:
        case FileOutcome::Failed:
            text += "\n" + shown(file.name) +
                    (file.outcome == FileOutcome::Failed ? " (failed)" : " (skipped, not a style)");
            if (!message.empty())
                text += ": " + message;
            break;
        }
        ++listed;
    }
    if (unlisted)
        text += "\n... and " + std::to_string(unlisted) + " more.";
    return text;
}

} // namespace korvane
