#pragma once

#include "patterns/ConversionPattern.h"
#include "platform/AtomicFile.h"
#include "platform/MessageBox.h"
#include "style/StyleReader.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace korvane {

// How each file's sections are assigned: the stored pattern, Assign by Name, or Copy All.
enum class AssignmentMode { Pattern, ByName, CopyAll };

// A whole-folder conversion: every style file of the source folder, converted for the model, is
// written under its own name into the target folder.
struct FolderConversionJob {
    std::string sourceFolder;
    std::string targetFolder;
    int modelIndex = 0; // into ModelNames()
    AssignmentMode mode = AssignmentMode::Pattern;
    ConversionPattern pattern; // for AssignmentMode::Pattern
    bool overwrite = false;    // replace files of the target folder; otherwise they are kept
    // Files under way at once; 0: DefaultFolderJobs(). Most of a file's time is spent waiting
    // for the disk to confirm its write, so more files than cores keep the cores busy.
    unsigned jobs = 0;
    // Pulses per quarter note of the written styles; 0 keeps each source's resolution.
    std::uint16_t resolution = 0;
};

// Files under way at once when the job names no number: four per processor core (at most 64).
unsigned DefaultFolderJobs();

enum class FileOutcome { Converted, SkippedExists, SkippedNotStyle, Failed };

struct FileReport {
    std::string name; // the file name, without folder
    FileOutcome outcome = FileOutcome::Failed;
    // Why it was skipped or failed, in the reader's or writer's own words; for a converted file,
    // "converted from SFF2" when the reader converted it from an SFF2 style, otherwise empty.
    std::string message;
};

struct FolderConversionSummary {
    std::size_t styleFiles = 0;    // style files found in the source folder
    std::vector<FileReport> files; // those handled, in name order
    bool cancelled = false;        // files not yet started when the run was cancelled are absent

    std::size_t Count(FileOutcome outcome) const;
    std::size_t SkippedCount() const;
};

// A style file by its extension: ".sty", ".mid", ".prs", ".sst", ".pst" or ".bcs", any case.
bool IsStyleFileName(const std::string& name);

// What a read that did not succeed means for a whole-folder run: files that are no style at all
// are skipped, everything else (damaged, unreadable, an SFF2 style the reader cannot convert)
// fails. The reader's result and message decide, here only.
FileOutcome ClassifyReadFailure(ReadResult result, const std::string& message);

// Converts one file of the job's source folder; never throws, never leaves a half-written file,
// never replaces a file unless the job overwrites. With a group, the file is added to it and takes
// its name when the group commits (the report says Converted until then).
FileReport ConvertFolderFile(const FolderConversionJob& job, const std::string& name,
                             CCommitGroup* group = nullptr);

// Called as each file starts, from the worker threads one at a time: the number of files started
// so far (this one included), the number of style files, and the file's name.
using FolderProgress =
    std::function<void(std::size_t started, std::size_t total, const std::string& name)>;

// Runs the job over the style files of the source folder, the given number of files at once
// (fewer when the system gives no more threads). The files are made durable in groups, each
// group named only once its files are stored. A set cancel flag lets the files under way finish
// and starts no more. A source folder that cannot be listed, a target folder that does not exist
// or is the source folder (by device and inode, however it is spelt) is reported through
// messages, and nothing is returned.
std::optional<FolderConversionSummary> ConvertFolder(const FolderConversionJob& job,
                                                     IMessageBox& messages,
                                                     const FolderProgress& progress,
                                                     const std::atomic<bool>& cancel);

// The summary as a user reads it: counts of converted, skipped by reason and failed files, then
// one line per skipped or failed file with its reason and per file converted from SFF2 (at most
// mostListed lines, then how many more there are).
std::string FolderSummaryText(const FolderConversionSummary& summary, std::size_t mostListed);

} // namespace korvane
