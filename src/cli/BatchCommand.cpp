// korvane-cli batch: every style file of a folder converted into another folder, as the window's
// whole-folder Auto Convert does.

#include "assignment/ModelCatalogue.h"
#include "batch/FolderConversion.h"
#include "cli/CliSupport.h"
#include "cli/VoiceOptions.h"
#include "style/Resolution.h"

#include <cstdint>
#include <cstdio>
#include <iostream>
#include <limits>
#include <memory>
#include <unistd.h>

namespace korvane::cli {
namespace {

const char* const kBatchHelp =
    R"(Usage: korvane-cli batch --model NAME MODE FROM_DIR TO_DIR [--overwrite] [--jobs N]
                        [--resolution N]

Converts every style file of FROM_DIR (.sty .mid .prs .sst .pst .bcs, any case)
for the model NAME and writes it under its own name into TO_DIR.
  --model NAME      target keyboard model, e.g. PSR-9000 (see 'korvane-cli models')
  MODE is one of:
  --pattern INI     the conversion pattern stored in the configuration file INI
  --by-name         each section to the first slot of its name
  --copy-all        section i to slot i, for the first 16
  --overwrite       replace files that exist in TO_DIR (they are kept otherwise)
  --jobs N          convert N files at once (default: four per processor core,
                    at most 64: each file waits for the disk to confirm its write,
                    and the other files keep the cores busy meanwhile)
  --resolution N    write the styles at N pulses per quarter note (1 to 32767),
                    every delta-time rescaled; default: each source's resolution
SFF2 styles are converted to SFF1 as they are read; the summary names them.
A file that cannot be converted never stops the others; the summary names each
skipped or failed file with its reason. Exit status 0 when no file failed, 1
otherwise.
)";

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
    std::string shown = name.substr(0, 40);
    std::fprintf(stderr, "\r[%s%s] %zu/%zu %-40s", std::string(filled, '#').c_str(),
                 std::string(kWidth - filled, ' ').c_str(), started, total, shown.c_str());
    std::fflush(stderr);
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

    const bool terminal = isatty(STDERR_FILENO) != 0;
    const std::atomic<bool> never{false};
    const auto summary = ConvertFolder(
        job, messages, terminal ? FolderProgress(DrawProgress) : FolderProgress(), never);
    if (terminal)
        std::fprintf(stderr, "\r%100s\r", ""); // wider than any bar line
    if (!summary)
        return ExitCode::Failure;
    std::cout << FolderSummaryText(*summary, std::numeric_limits<std::size_t>::max()) << "\n";
    return summary->Count(FileOutcome::Failed) == 0 ? ExitCode::Success : ExitCode::Failure;
}

} // namespace

Command AddBatchCommand(CLI::App& app) {
    auto options = std::make_shared<BatchOptions>();
    CLI::App* batch = app.add_subcommand("batch", "convert every style file of a folder");
    batch->add_option("--model", options->model, "target keyboard model")->required();
    batch->add_option("--pattern", options->pattern, "the configuration file with the pattern");
    batch->add_flag("--by-name", options->byName, "assign sections to slots of their name");
    batch->add_flag("--copy-all", options->copyAll, "section i to slot i");
    batch->add_option("FROM_DIR", options->from, "the folder to read")->required();
    batch->add_option("TO_DIR", options->to, "the folder to write")->required();
    batch->add_flag("--overwrite", options->overwrite, "replace existing files");
    AddVoiceOptions(*batch, options->voices);
    batch->add_option("--jobs", options->jobs, "files converted at once")
        ->check(CLI::Range(1u, 1024u));
    batch->add_option("--resolution", options->resolution, "pulses per quarter note to write")
        ->check(CLI::Range(1, int(kMaxPulsesPerQuarter)));
    return {batch, kBatchHelp, [options] { return RunBatch(*options); }};
}

} // namespace korvane::cli
