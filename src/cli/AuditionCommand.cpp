// korvane-cli audition: plays what the window's Play would play for an assignment, rendered to
// a WAV file by the built-in synthesizer or sent to a MIDI output port.

#include "assignment/OpenCommand.h"
#include "audition/AuditionPlayer.h"
#include "audition/PortSequencer.h"
#include "audition/Soundfont.h"
#include "audition/SynthesizerSequencer.h"
#include "cli/AssignmentOptions.h"
#include "cli/CliSupport.h"
#include "platform/AtomicFile.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <thread>

#include <stdlib.h>

namespace korvane::cli {
namespace {

const char* const kAuditionHelp =
    R"(Usage: korvane-cli audition IN --model NAME MODE... (--render OUT.wav [--soundfont FILE] | --port NAME)

Opens IN, assigns its sections to the slots of the model NAME and plays the
style exactly as the window's Play would: the style file as Save would write it.
  --model NAME        target keyboard model, e.g. PSR-9000 (see 'korvane-cli models')
  --by-name           assign every section whose name is a slot name of the model
  --copy-all          the window's Copy All: section i to slot i, for the first 16
  --assign SRC=DST    assign the section SRC to the slot DST; repeat as needed
  --render OUT.wav    render with the built-in synthesizer into a 16-bit stereo
                      44.1 kHz WAV file, faster than real time
  --soundfont FILE    the soundfont to render with (default: TimGM6mb, else the
                      first .sf2 in /usr/share/sounds/sf2)
  --port NAME         play in real time to the MIDI output port NAME (exact name,
                      else the first that contains NAME; see 'korvane-cli ports')
)";

struct AuditionOptions {
    AssignmentOptions assignment;
    std::string render;
    std::string soundfont;
    std::string port;
    std::string section; // --section: this section alone, no assignment
};

// A private folder for VCTEMP.MID and the render, removed afterwards.
class CScratchFolder {
public:
    CScratchFolder() {
        std::error_code error;
        std::string pattern =
            (std::filesystem::temp_directory_path(error) / "korvane-audition-XXXXXX").string();
        if (mkdtemp(pattern.data()))
            m_path = pattern;
    }
    ~CScratchFolder() {
        std::error_code error;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, error);
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// Plays the section alone when there is one, else the assignment as the window's Play would.
void StartPlaying(CAuditionPlayer& player, const CStyleSection* section) {
    if (section)
        player.PlaySection(*section, false);
    else
        player.Play();
}

ExitCode Render(CAssignmentTable& table, CSettings& settings, const AuditionOptions& options,
                const CStyleSection* section) {
    SynthesizerOptions synthesizer;
    synthesizer.soundfont = FindSoundfont(options.soundfont);
    if (synthesizer.soundfont.empty())
        return Fail("no soundfont found: install timgm6mb-soundfont or give --soundfont FILE.");
    std::error_code error;
    if (!std::filesystem::is_regular_file(synthesizer.soundfont, error))
        return Fail("the soundfont " + synthesizer.soundfont + " is not a readable file.");

    CScratchFolder scratch;
    if (scratch.Path().empty())
        return Fail("cannot make a temporary folder.");
    settings.auditionFolder = scratch.Path();
    synthesizer.wavPath = scratch.Path() + "/render.wav";
    CSynthesizerSequencer sequencer(synthesizer);
    CAuditionPlayer player(table, settings, sequencer);
    StartPlaying(player, section);
    const bool played = player.GetMidPlay().IsOpen() && sequencer.GetRenderedSeconds() > 0.0;
    player.Stop();
    if (!played)
        return Fail("nothing was rendered; " + options.render + " was not written.");

    std::ifstream in(synthesizer.wavPath, std::ios::binary);
    const std::vector<std::uint8_t> wav{std::istreambuf_iterator<char>(in),
                                        std::istreambuf_iterator<char>()};
    if (const WriteFailure failure = WriteFileAtomically(options.render, wav))
        return Fail("cannot write " + options.render + ": " +
                    std::generic_category().message(failure.errorCode));
    std::printf("Rendered %s: %.1f seconds.\n", options.render.c_str(),
                sequencer.GetRenderedSeconds());
    return ExitCode::Success;
}

ExitCode PlayOnPort(CAssignmentTable& table, CSettings& settings, const AuditionOptions& options,
                    const CStyleSection* section) {
    CScratchFolder scratch;
    if (scratch.Path().empty())
        return Fail("cannot make a temporary folder.");
    settings.auditionFolder = scratch.Path();
    CPortSequencer sequencer(options.port);
    CAuditionPlayer player(table, settings, sequencer);
    StartPlaying(player, section);
    if (!player.GetMidPlay().IsOpen())
        return ExitCode::Failure; // the player has said why
    while (sequencer.IsPlaying())
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    player.Stop();
    std::cout << "Played on " << options.port << ".\n";
    return ExitCode::Success;
}

ExitCode RunAudition(AuditionOptions& options) {
    const AssignmentOptions& a = options.assignment;
    const bool assigns = a.byName || a.copyAll || !a.pattern.empty() || !a.assign.empty();
    if (!options.section.empty() && (assigns || !a.model.empty()))
        return UsageError("--section plays one section: it takes no --model or assignment",
                          kAuditionHelp);
    if (options.section.empty() && a.model.empty())
        return UsageError("--model is required", kAuditionHelp);
    if (ExitCode usage = options.section.empty()
                             ? CheckAssignmentOptions(options.assignment, kAuditionHelp)
                             : ExitCode::Success;
        usage != ExitCode::Success)
        return usage;
    if (options.render.empty() == options.port.empty())
        return UsageError("choose one of --render or --port", kAuditionHelp);
    if (!options.soundfont.empty() && options.render.empty())
        return UsageError("--soundfont goes with --render", kAuditionHelp);

    CConsoleMessages messages;
    CAssignmentTable table(messages);
    CSettings settings;
    const CStyleSection* section = nullptr;
    if (!options.section.empty()) {
        if (OpenStyleFile(table, settings, a.input) != ReadResult::Ok)
            return ExitCode::Failure;
        section = table.GetDocument().FindSection(options.section);
        if (!section)
            return Fail(a.input + " has no section '" + options.section + "'.");
    } else if (ExitCode opened = OpenAndAssign(table, settings, options.assignment);
               opened != ExitCode::Success) {
        return opened;
    } else if (!table.HasAssignments()) {
        return Fail("nothing was assigned, so there is nothing to play.");
    }
    return options.render.empty() ? PlayOnPort(table, settings, options, section)
                                  : Render(table, settings, options, section);
}

} // namespace

Command AddAuditionCommand(CLI::App& app) {
    auto options = std::make_shared<AuditionOptions>();
    CLI::App* audition = app.add_subcommand("audition", "hear a converted style");
    AddAssignmentOptions(*audition, options->assignment);
    audition->add_option("--render", options->render, "the WAV file to write");
    audition->add_option("--soundfont", options->soundfont, "the soundfont to render with");
    audition->add_option("--port", options->port, "the MIDI output port to play to");
    // One section needs no keyboard model.
    audition->get_option("--model")->required(false);
    audition->add_option("--section", options->section,
                         "play only the section NAME of IN, after its SInt section's setup "
                         "events, once; takes no --model or assignment");
    return {audition, kAuditionHelp, [options] { return RunAudition(*options); }};
}

} // namespace korvane::cli
