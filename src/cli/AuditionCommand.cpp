// korvane-cli audition: plays what the window's Play would play for an assignment, rendered to
// a WAV file by the built-in synthesizer or sent to a MIDI output port.

#include "audition/AudioModule.h"
#include "audition/AuditionPlayer.h"
#include "audition/Soundfont.h"
#include "cli/AssignmentOptions.h"
#include "cli/CliSupport.h"
#include "cli/VoiceOptions.h"
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

const std::string kAuditionHelp = HelpHint("audition");

struct AuditionOptions {
    AssignmentOptions assignment;
    VoiceOptions voices;
    std::string render;
    std::string soundfont;
    std::string port;
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

// Writes the style to the scratch folder's audition file and plays it from the start, as the
// window's Play does; false when the player could not load it (it has said why).
bool PlayStyle(CMidPlay& midPlay, const std::string& folder, const ByteArray& style) {
    CSettings settings;
    settings.auditionFolder = folder;
    const std::string path = AuditionFilePath(settings);
    if (const Outcome written = WriteStyleBytes(path, style)) {
        FailWith(written);
        return false;
    }
    midPlay.Load(path);
    midPlay.SetStarted(true);
    midPlay.Start();
    return midPlay.IsOpen();
}

ExitCode Render(const ByteArray& style, const AuditionOptions& options) {
    SynthesizerOptions synthesizer;
    synthesizer.soundfont = FindSoundfont(options.soundfont);
    if (synthesizer.soundfont.empty())
        return Fail("no soundfont found: install timgm6mb-soundfont or give --soundfont FILE.");
    std::error_code error;
    if (!std::filesystem::is_regular_file(synthesizer.soundfont, error))
        return Fail("the soundfont " + Printable(synthesizer.soundfont) +
                    " is not a readable file.");

    CScratchFolder scratch;
    if (scratch.Path().empty())
        return Fail("cannot make a temporary folder.");
    synthesizer.wavPath = scratch.Path() + "/render.wav";
    std::string failure;
    const AudioModuleEntry* audio = LoadAudioModule(failure);
    if (!audio)
        return Fail(failure);
    const std::unique_ptr<CSynthesizerSequencer> sequencer = audio->makeSynthesizer(synthesizer);
    CConsoleMessages messages;
    CMidPlay midPlay(*sequencer, messages);
    const bool played =
        PlayStyle(midPlay, scratch.Path(), style) && sequencer->GetRenderedSeconds() > 0.0;
    midPlay.Halt();
    midPlay.Close();
    if (!played)
        return Fail("nothing was rendered; " + Printable(options.render) + " was not written.");

    std::ifstream in(synthesizer.wavPath, std::ios::binary);
    const std::vector<std::uint8_t> wav{std::istreambuf_iterator<char>(in),
                                        std::istreambuf_iterator<char>()};
    if (const WriteFailure failure = WriteFileAtomically(options.render, wav))
        return Fail("cannot write " + Printable(options.render) + ": " +
                    std::generic_category().message(failure.errorCode));
    std::printf("Rendered %s: %.1f seconds.\n", Printable(options.render).c_str(),
                sequencer->GetRenderedSeconds());
    return ExitCode::Success;
}

ExitCode PlayOnPort(const ByteArray& style, const AuditionOptions& options) {
    CScratchFolder scratch;
    if (scratch.Path().empty())
        return Fail("cannot make a temporary folder.");
    std::string failure;
    const AudioModuleEntry* audio = LoadAudioModule(failure);
    if (!audio)
        return Fail(failure);
    const std::unique_ptr<CPortSequencer> sequencer = audio->makePortSequencer(options.port);
    CConsoleMessages messages;
    CMidPlay midPlay(*sequencer, messages);
    if (!PlayStyle(midPlay, scratch.Path(), style))
        return ExitCode::Failure; // the player has said why
    while (sequencer->IsPlaying())
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    midPlay.Halt();
    midPlay.Close();
    std::cout << "Played on " << Printable(options.port) << ".\n";
    return ExitCode::Success;
}

ExitCode RunAudition(AuditionOptions& options) {
    if (ExitCode usage = CheckAssignmentOptions(options.assignment, kAuditionHelp);
        usage != ExitCode::Success)
        return usage;
    if (options.render.empty() == options.port.empty())
        return UsageError("choose one of --render or --port", kAuditionHelp);
    if (!options.soundfont.empty() && options.render.empty())
        return UsageError("--soundfont goes with --render", kAuditionHelp);

    ByteArray style;
    int sections = 0;
    if (ExitCode converted = ConvertInput(options.assignment, VoiceChangesOf(options.voices), 0,
                                          kAuditionFileName, style, sections);
        converted != ExitCode::Success)
        return converted;
    if (sections == 0)
        return Fail("nothing was assigned, so there is nothing to play.");
    return options.render.empty() ? PlayOnPort(style, options) : Render(style, options);
}

} // namespace

Command AddAuditionCommand(CLI::App& app) {
    auto options = std::make_shared<AuditionOptions>();
    CLI::App* audition = app.add_subcommand(
        "audition", "hear a converted style: render it to a WAV file or play it on a MIDI port");
    AddAssignmentOptions(*audition, options->assignment);
    AddVoiceOptions(*audition, options->voices);
    audition
        ->add_option("--render", options->render,
                     "render with the built-in synthesizer into a 16-bit stereo 44.1 kHz WAV file, "
                     "faster than real time")
        ->option_text("OUT.wav");
    audition
        ->add_option("--soundfont", options->soundfont,
                     "the soundfont to render with (default: TimGM6mb, else the first .sf2 in "
                     "/usr/share/sounds/sf2)")
        ->option_text("FILE");
    audition
        ->add_option("--port", options->port,
                     "play in real time to the MIDI output port NAME (its exact name, else the "
                     "first that contains NAME; see 'korvane-cli ports')")
        ->option_text("NAME");
    audition->footer("Opens IN, assigns its sections to the slots of the model NAME and plays the "
                     "style exactly as the window's Play would: the style file as Save would "
                     "write it. Exactly one of --by-name, --copy-all, --pattern and --assign "
                     "chooses the assignment, and one of --render and --port where it sounds.");
    return {audition, kAuditionHelp, [options] { return RunAudition(*options); }};
}

} // namespace korvane::cli
