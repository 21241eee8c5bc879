// korvane-cli batch: every style file of a folder converted into another folder, as the window's
// whole-folder Auto Convert does.

#include "assignment/ModelCatalogue.h"
#include "batch/FolderConversion.h"
#include "cli/AssignmentOptions.h"
#include "cli/CliSupport.h"
#include "cli/VoiceOptions.h"
#include "platform/Console.h"
#include "platform/DisplayText.h"
#include "style/Resolution.h"

#include <cstdint>
#include <cstdio>
#include <iostream>
#include <limits>
#include <memory>

namespace korvane::cli {
namespace {

const std::string kBatchHelp = HelpHint("batch");

struct BatchOptions {
    std::string model;
    std::string pattern;
    bool byName = false;
    bool copyAll = false;
    std::string from;
    std::string to;
    bool overwrite = false;
    unsigned jobs = 0;
    std::uint16_t resolution = 0;
    VoiceOptions voices;
};

// A bar on stderr, redrawn in place; only when stderr is a terminal.
void DrawProgress(std::size_t started, std::size_t total, const std::string& name) {
    constexpr std::size_t kWidth = 30;
    const std::size_t filled = total ? started * kWidth / total : kWidth;
    std::string shown = PrintableUtf8(CutToCharacters(name, 40));
    char counts[48];
    std::snprintf(counts, sizeof counts, "] %zu/%zu ", started, total);
    // Through std::cerr, which writes to a Windows console as UTF-16.
    std::cerr << "\r[" << std::string(filled, '#') << std::string(kWidth - filled, ' ') << counts
              << shown << std::string(shown.size() < 40 ? 40 - shown.size() : 0, ' ') << std::flush;
}

ExitCode RunBatch(const BatchOptions& options) {
    if (int(options.byName) + int(options.copyAll) + int(!options.pattern.empty()) != 1)
        return UsageError("choose one of --pattern, --by-name or --copy-all", kBatchHelp);
    if (ModelIndex(options.model) < 0)
        return UsageError("unknown model '" + options.model + "'; 'korvane-cli models' lists them",
                          kBatchHelp);

    CConsoleMessages messages;
    FolderConversionJob job;
    job.sourceFolder = options.from;
    job.targetFolder = options.to;
    job.modelIndex = ModelIndex(options.model);
    job.overwrite = options.overwrite;
    job.createTarget = true;
    job.jobs = options.jobs;
    job.resolution = options.resolution;
    job.voiceChanges = VoiceChangesOf(options.voices);
    if (options.byName) {
        job.mode = AssignmentMode::ByName;
    } else if (options.copyAll) {
        job.mode = AssignmentMode::CopyAll;
    } else {
        job.mode = AssignmentMode::Pattern;
        auto pattern = ReadPatternFile(options.pattern, messages);
        if (!pattern)
            return ExitCode::Failure;
        job.pattern = *pattern;
    }

    const bool terminal = StandardErrorIsTerminal();
    const std::atomic<bool> never{false};
    const auto summary = ConvertFolder(
        job, messages, terminal ? FolderProgress(DrawProgress) : FolderProgress(), never);
    if (terminal)
        std::fprintf(stderr, "\r%100s\r", ""); // wider than any bar line
    if (!summary)
        return ExitCode::Failure;
    std::cout << FolderSummaryText(*summary, std::numeric_limits<std::size_t>::max(), PrintableUtf8)
              << "\n";
    return summary->Count(FileOutcome::Failed) == 0 ? ExitCode::Success : ExitCode::Failure;
}

} // namespace

Command AddBatchCommand(CLI::App& app) {
    auto options = std::make_shared<BatchOptions>();
    CLI::App* batch = app.add_subcommand("batch", "convert every style file of a folder");
    batch->add_option("--model", options->model, kModelOptionText)->required()->option_text("NAME");
    batch->add_option("--pattern", options->pattern, kPatternOptionText)->option_text("INI");
    batch->add_flag("--by-name", options->byName, kByNameOptionText);
    batch->add_flag("--copy-all", options->copyAll, kCopyAllOptionText);
    batch->add_option("FROM_DIR", options->from, "the folder to read")->required();
    batch->add_option("TO_DIR", options->to, "the folder to write into")->required();
    AddVoiceOptions(*batch, options->voices);
    batch->add_flag("--overwrite", options->overwrite,
                    "replace files that exist in TO_DIR; they are kept otherwise");
    batch
        ->add_option("--jobs", options->jobs,
                     "convert N files at once (1 to 1024; default: four per processor core, at "
                     "most 64: each file waits for the disk to confirm its write, and the other "
                     "files keep the cores busy meanwhile)")
        ->check(CLI::Range(1u, 1024u))
        ->option_text("N");
    batch
        ->add_option("--resolution", options->resolution,
                     "write every style at N pulses per quarter note (1 to 32767), every "
                     "delta-time rescaled; without it each style keeps its own resolution")
        ->check(CLI::Range(1, int(kMaxPulsesPerQuarter)))
        ->option_text("N");
    batch->footer(
        "Converts every style file of FROM_DIR (.sty .mid .prs .sst .pst .bcs, in any case) for "
        "the model NAME and writes each under its own name into TO_DIR, through a temporary file "
        "as convert does. Exactly one of --pattern, --by-name and --copy-all chooses the "
        "assignment of every file. SFF2 styles are converted to SFF1 as they are read.\n"
        "A file that cannot be converted never stops the others. The summary counts the "
        "converted, skipped (exists, not a style) and failed files, and names every skipped or "
        "failed file with its reason and every style converted from SFF2. Exit status 0 when no "
        "file failed, 1 otherwise.");
    return {batch, kBatchHelp, [options] { return RunBatch(*options); }};
}

} // namespace korvane::cli
