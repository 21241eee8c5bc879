#pragma once

#include "patterns/ConversionPattern.h"
#include "platform/AtomicFile.h"
#include "platform/MessageBox.h"
#include "style/Outcome.h"

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
    // Creates a missing target folder (not its parents, as cp -r does) once the source folder is
    // found; the window asks for an existing one.
    bool createTarget = false;
    // Files under way at once; 0: DefaultFolderJobs(). Most of a file's time is spent waiting
    // for the disk to confirm its write, so more files than cores keep the cores busy.
    unsigned jobs = 0;
    // Pulses per quarter note of the written styles; 0 keeps each source's resolution.
    std::uint16_t resolution = 0;
    // The voices and mixer values written into every converted style.
    VoiceChanges voiceChanges;
};

// Files under way at once when the job names no number: four per processor core (at most 64).
unsigned DefaultFolderJobs();

enum class FileOutcome { Converted, SkippedExists, SkippedNotStyle, Failed };

struct FileReport {
    std::string name; // the file name, without folder
    FileOutcome outcome = FileOutcome::Failed;
    Outcome failure;       // why it was skipped or failed
    bool fromSff2 = false; // converted, from an SFF2 style
};

// How a file's report reads: why it was skipped or failed, in the reader's or writer's own words
// on one line ("exists", "not a regular file" for the skipped ones); for a converted file,
// "converted from SFF2" when the reader converted it from an SFF2 style, otherwise empty.
std::string FileReportText(const FileReport& report, const NameForm& nameForm = {});

// The folder's share of a failure: exists is skipped, so is whatever is no regular file or no
// style at all; everything else (damaged, unreadable, an SFF2 style that does not convert, a
// failed write) fails.
FileOutcome OutcomeOfFile(Failure failure);

struct FolderConversionSummary {
    std::size_t styleFiles = 0;    // style files found in the source folder
    std::vector<FileReport> files; // those handled, in name order
    bool cancelled = false;        // files not yet started when the run was cancelled are absent

    std::size_t Count(FileOutcome outcome) const;
    std::size_t SkippedCount() const;
};

// A name as a volume that ignores case compares it: letters of the Latin, Greek and Cyrillic
// alphabets in one case (lower). Other bytes, and UTF-8 sequences of other characters, stay as
// they are.
std::string FoldedName(const std::string& name);

// A style file by its extension: ".sty", ".mid", ".prs", ".sst", ".pst" or ".bcs", any case.
bool IsStyleFileName(const std::string& name);

// Converts one file of the job's source folder through the conversion engine, then writes it
// (without overwrite, never over a file that took the name meanwhile); never throws, never
// leaves a half-written file. With a group, the file is added to it and takes its name when the
// group commits (the report says Converted until then).
FileReport ConvertFolderFile(const FolderConversionJob& job, const std::string& name,
                             CCommitGroup* group = nullptr);

// Called as each file starts, from the worker threads one at a time: the number of files started
// so far (this one included), the number of style files, and the file's name.
using FolderProgress =
    std::function<void(std::size_t started, std::size_t total, const std::string& name)>;

// Runs the job over the style files of the source folder, the given number of files at once
// (fewer when the system gives no more threads). The files are made durable in groups, each
// group named only once its files are stored. A set cancel flag lets the files under way finish
// and starts no more. A source folder that cannot be listed, a target folder that cannot be
// made, does not exist or is the source folder (the folders themselves compared, however they
// are spelt) is reported through messages, and nothing is returned. Before any file is written,
// a file whose name is another's on the target volume (one that ignores case) fails, the first
// of them excepted, and so does, with overwrite, a target that is or leads to a source file.
// Leftover temporary files of runs that were killed are removed from the target folder.
std::optional<FolderConversionSummary> ConvertFolder(const FolderConversionJob& job,
                                                     IMessageBox& messages,
                                                     const FolderProgress& progress,
                                                     const std::atomic<bool>& cancel);

// The summary as a user reads it: counts of converted, skipped by reason and failed files, then
// one line per skipped or failed file with its reason and per file converted from SFF2 (at most
// mostListed lines, then how many more there are).
// Names go through nameForm (korvane-cli escapes them).
std::string FolderSummaryText(const FolderConversionSummary& summary, std::size_t mostListed,
                              const NameForm& nameForm = {});

} // namespace korvane
