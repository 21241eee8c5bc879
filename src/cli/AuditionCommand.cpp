// korvane-cli audition: plays what the window's Play would play for an assignment, rendered to
// a WAV file by the built-in synthesizer or sent to a MIDI output port.

#include "audition/AudioModule.h"
#include "audition/AuditionPlayer.h"
#include "audition/RenderedWav.h"
#include "audition/SectionAudition.h"
#include "audition/Soundfont.h"
#include "cli/AssignmentOptions.h"
#include "cli/CliSupport.h"
#include "cli/VoiceOptions.h"
#include "platform/AtomicFile.h"
#include "platform/RegularFile.h"
#include "platform/ScratchFolder.h"
#include "style/StyleReader.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <new>
#include <thread>

namespace korvane::cli {
namespace {

const std::string kAuditionHelp = HelpHint("audition");

struct AuditionOptions {
    AssignmentOptions assignment;
    VoiceOptions voices;
    std::string render;
    std::string soundfont;
    std::string port;
    std::string driver;
    std::string section; // --section: this section of IN alone, no model or assignment
    bool portGiven = false;
};

const char* const kRenderFileName = "render.wav";
// A render's size: a four-hour style at 44.1 kHz, 16-bit stereo is about 2.5 GB.
constexpr std::size_t kMaxRenderBytes = std::size_t(4) << 30;

// A private folder for VCTEMP.MID and the render in the user's own audition folder, removed
// afterwards, also when the command is interrupted.
class CAuditionScratch : public CScratchFolder {
public:
    CAuditionScratch()
        : CScratchFolder(PreparedAuditionFolder(), "audition-",
                         {kAuditionFileName, kRenderFileName}) {}
    std::string WavPath() const { return FilePath(kRenderFileName); }

private:
    static std::string PreparedAuditionFolder() {
        const std::string base = DefaultAuditionFolder();
        CreateAuditionFolder(base, true);
        return base;
    }
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
    return PlayAuditionFile(midPlay, path);
}

// The built-in synthesizer, from the audio module; null with the reason when the module cannot
// be loaded. The module says no more than null when it ran out of memory.
std::unique_ptr<CSynthesizerSequencer> MakeSynthesizer(const SynthesizerOptions& options,
                                                       std::string& failure) {
    const AudioModuleEntry* audio = LoadAudioModule(failure);
    if (!audio)
        return nullptr;
    std::unique_ptr<CSynthesizerSequencer> sequencer = audio->makeSynthesizer(options);
    if (!sequencer)
        throw std::bad_alloc();
    return sequencer;
}

// What every audition shares: a scratch folder for the written style, a sequencer from the audio
// module (make gives it, or null with the reason), and a player on it as the window's Play has;
// once the style plays, finish(sequencer, player) waits for it and says how it ended.
template <typename Make, typename Finish>
ExitCode PlayStyleOn(const ByteArray& style, Make make, Finish finish) {
    CAuditionScratch scratch;
    if (scratch.Path().empty())
        return Fail("cannot make a temporary folder.");
    std::string failure;
    const auto sequencer = make(scratch, failure);
    if (!sequencer)
        return Fail(failure);
    CConsoleMessages messages;
    CMidPlay midPlay(*sequencer, messages);
    if (!PlayStyle(midPlay, scratch.Path(), style))
        return ExitCode::Failure; // the player has said why
    return finish(*sequencer, midPlay);
}

ExitCode Render(const ByteArray& style, const AuditionOptions& options) {
    SynthesizerOptions synthesizer;
    synthesizer.soundfont = FindSoundfont(options.soundfont);
    if (synthesizer.soundfont.empty())
        return Fail("no soundfont found: install timgm6mb-soundfont or give --soundfont FILE.");
    if (const auto problem = CheckSoundfont(synthesizer.soundfont))
        return Fail(Printable(*problem) + ".");

    auto make = [&](const CAuditionScratch& scratch, std::string& failure) {
        synthesizer.wavPath = scratch.WavPath();
        return MakeSynthesizer(synthesizer, failure);
    };
    return PlayStyleOn(style, make, [&](CSynthesizerSequencer& sequencer, CMidPlay& midPlay) {
        const bool played = sequencer.GetRenderedSeconds() > 0.0;
        midPlay.Halt();
        midPlay.Close();
        if (!played)
            return ExitCode::Failure; // the player has said why

        if (const auto problem = KeepRenderedWav(synthesizer.wavPath, options.render,
                                                 sequencer.GetRenderedSeconds()))
            return Fail(Printable(*problem) + ".");
        std::printf("Rendered %s: %.1f seconds.\n", Printable(options.render).c_str(),
                    sequencer.GetRenderedSeconds());
        return ExitCode::Success;
    });
}

ExitCode PlayOnPort(const ByteArray& style, const AuditionOptions& options) {
    auto make = [&](const CAuditionScratch&, std::string& failure) {
        const AudioModuleEntry* audio = LoadAudioModule(failure);
        std::unique_ptr<CPortSequencer> sequencer;
        if (audio && !(sequencer = audio->makePortSequencer(options.port)))
            throw std::bad_alloc(); // the module ran out of memory
        return sequencer;
    };
    return PlayStyleOn(style, make, [](CPortSequencer& sequencer, CMidPlay& midPlay) {
        while (sequencer.IsPlaying())
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        midPlay.Halt();
        midPlay.Close();
        if (sequencer.HasLostPort())
            return Fail("the MIDI output port " + Printable(sequencer.GetOpenedName()) +
                        " has gone.");
        std::cout << "Played on " << Printable(sequencer.GetOpenedName()) << ".\n";
        return ExitCode::Success;
    });
}

ExitCode PlayOnSynthesizer(const ByteArray& style, const AuditionOptions& options) {
    SynthesizerOptions synthesizer;
    synthesizer.soundfont = FindSoundfont(options.soundfont);
    synthesizer.audioDriver = options.driver == "automatic" ? "" : options.driver;
    auto make = [&](const CAuditionScratch&, std::string& failure) {
        return MakeSynthesizer(synthesizer, failure);
    };
    return PlayStyleOn(style, make, [](CSynthesizerSequencer& sequencer, CMidPlay& midPlay) {
        if (const SequencerError error = sequencer.WaitWhilePlaying();
            error != SequencerError::None)
            return Fail(sequencer.GetErrorText(int(error)).value_or("") + ".");
        midPlay.Halt();
        midPlay.Close();
        return ExitCode::Success;
    });
}

// --section: the style that plays the one section of IN, after its SInt section's setup events.
ExitCode BuildSection(const AuditionOptions& options, ByteArray& style) {
    const std::string& input = options.assignment.input;
    CStyleDocument document;
    document.StartNextFile();
    if (const Outcome read = ReadStyle(input, document))
        return FailWith(read);
    document.SetVoiceChanges(VoiceChangesOf(options.voices));
    const CStyleSection* section = document.FindSection(options.section);
    if (!section)
        return Fail(Printable(input) + " has no section '" + Printable(options.section) + "'.");
    if (const Outcome built = BuildSectionStyle(document, *section, kAuditionFileName, style))
        return FailWith(built);
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
    if (options.portGiven && options.port.empty())
        return UsageError("--port needs the name of a MIDI output port", kAuditionHelp);
    if (int(!options.render.empty()) + int(options.portGiven) + int(!options.driver.empty()) != 1)
        return UsageError("choose one of --render, --port or --driver", kAuditionHelp);
    if (!options.soundfont.empty() && options.portGiven)
        return UsageError("--soundfont goes with --render or --driver", kAuditionHelp);

    ByteArray style;
    if (!options.section.empty()) {
        if (ExitCode built = BuildSection(options, style); built != ExitCode::Success)
            return built;
    } else {
        int sections = 0;
        if (ExitCode converted = ConvertInput(options.assignment, VoiceChangesOf(options.voices), 0,
                                              kAuditionFileName, style, sections);
            converted != ExitCode::Success)
            return converted;
        if (sections == 0)
            return Fail("nothing was assigned, so there is nothing to play.");
    }
    if (options.portGiven)
        return PlayOnPort(style, options);
    return options.render.empty() ? PlayOnSynthesizer(style, options) : Render(style, options);
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
        ->option_text("NAME")
        ->each([options](const std::string&) { options->portGiven = true; });
    audition
        ->add_option("--driver", options->driver,
                     "play on the built-in synthesizer in real time through this audio driver: "
                     "automatic (pipewire, pulseaudio, jack, alsa in turn) or one of them")
        ->option_text("DRIVER");
    // One section needs no keyboard model.
    audition->get_option("--model")->required(false);
    audition
        ->add_option("--section", options->section,
                     "play only the section NAME of IN, once, after its SInt section's setup "
                     "events; takes no --model or assignment")
        ->option_text("NAME");
    audition->footer(
        "Opens IN, assigns its sections to the slots of the model NAME and plays the "
        "style exactly as the window's Play would: the style file as Save would "
        "write it. Exactly one of --by-name, --copy-all, --pattern and --assign "
        "chooses the assignment (or --section NAME plays that section of IN alone), and "
        "one of --render, --port and --driver where it sounds.");
    return {audition, kAuditionHelp, [options] { return RunAudition(*options); }};
}

} // namespace korvane::cli
