#include "audition/SynthesizerSequencer.h"

#include "audition/QuietBackends.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace korvane {
namespace {

constexpr double kSampleRate = 44100.0;
// A file that somehow never ends is cut here.
constexpr double kLongestRenderSeconds = 3600.0;

// FluidSynth reports problems through its log; the last error becomes part of our reason text
// instead of noise on the terminal.
std::mutex g_logMutex;
std::string g_lastLogError;

void KeepLogError(int, const char* message, void*) {
    const std::lock_guard<std::mutex> lock(g_logMutex);
    g_lastLogError = message ? message : "";
}

void QuietLog(int, const char*, void*) {}

void RouteFluidLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        fluid_set_log_function(FLUID_PANIC, KeepLogError, nullptr);
        fluid_set_log_function(FLUID_ERR, KeepLogError, nullptr);
        fluid_set_log_function(FLUID_WARN, QuietLog, nullptr);
        fluid_set_log_function(FLUID_INFO, QuietLog, nullptr);
        fluid_set_log_function(FLUID_DBG, QuietLog, nullptr);
    });
}

std::string TakeLogError() {
    const std::lock_guard<std::mutex> lock(g_logMutex);
    std::string error;
    error.swap(g_lastLogError);
    return error;
}

void CollectOption(void* data, const char*, const char* option) {
    static_cast<std::vector<std::string>*>(data)->push_back(option);
}

} // namespace

struct CSynthesizerSequencer::Engine {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    fluid_audio_driver_t* driver = nullptr;
    fluid_player_t* player = nullptr;
    std::function<void(const float*, const float*, int)> onBuffer;
    double renderedSeconds = 0.0;

    ~Engine() {
        if (driver)
            delete_fluid_audio_driver(driver); // the audio thread ends here
        if (player)
            delete_fluid_player(player);
        if (synth)
            delete_fluid_synth(synth);
        if (settings)
            delete_fluid_settings(settings);
    }

    static int Process(void* data, int length, int effectCount, float* effects[], int outCount,
                       float* out[]) {
        auto* engine = static_cast<Engine*>(data);
        for (int i = 0; i < outCount; ++i)
            std::fill(out[i], out[i] + length, 0.0f);
        for (int i = 0; i < effectCount; ++i)
            std::fill(effects[i], effects[i] + length, 0.0f);
        const int result =
            fluid_synth_process(engine->synth, length, effectCount, effects, outCount, out);
        if (engine->onBuffer && outCount >= 2)
            engine->onBuffer(out[0], out[1], length);
        return result;
    }

    void Silence() {
        fluid_synth_all_notes_off(synth, -1);
        fluid_synth_all_sounds_off(synth, -1);
    }
};

CSynthesizerSequencer::CSynthesizerSequencer(SynthesizerOptions options)
    : m_options(std::move(options)) {
    RouteFluidLog();
    QuietSoundBackends();
    // A JACK server that is not running must not be started behind the user's back. Set here, on
    // the constructing thread, before any thread of ours could read the environment.
    if (m_options.wavPath.empty())
        ::setenv("JACK_NO_START_SERVER", "1", 0);
}

CSynthesizerSequencer::~CSynthesizerSequencer() = default;

double CSynthesizerSequencer::GetRenderedSeconds() const {
    return m_pEngine ? m_pEngine->renderedSeconds : 0.0;
}

// A synthesizer with its soundfont loaded, or why it could not be made.
struct CSynthesizerSequencer::LoadedEngine {
    std::unique_ptr<Engine> engine;
    SequencerError error = SequencerError::None;
    std::string reason;
};

CSynthesizerSequencer::LoadedEngine
CSynthesizerSequencer::LoadEngine(const SynthesizerOptions& options) {
    if (options.soundfont.empty())
        return {nullptr, SequencerError::NoSoundfont, "no soundfont found"};

    auto engine = std::make_unique<Engine>();
    engine->onBuffer = options.onBuffer;
    engine->settings = new_fluid_settings();
    if (!engine->settings)
        return {nullptr, SequencerError::Failed, "the synthesizer could not be started"};
    // Styles select drum kits with bank MSB 127 on any channel: XG bank select makes them drums.
    fluid_settings_setstr(engine->settings, "synth.midi-bank-select", "xg");
    fluid_settings_setnum(engine->settings, "synth.sample-rate", kSampleRate);
    fluid_settings_setstr(engine->settings, "player.timing-source", "sample");
    if (!options.wavPath.empty()) {
        fluid_settings_setstr(engine->settings, "audio.file.name", options.wavPath.c_str());
        fluid_settings_setstr(engine->settings, "audio.file.type", "wav");
        fluid_settings_setstr(engine->settings, "audio.file.format", "s16");
    }
    engine->synth = new_fluid_synth(engine->settings);
    if (!engine->synth)
        return {nullptr, SequencerError::Failed, "the synthesizer could not be started"};
    TakeLogError();
    if (fluid_synth_sfload(engine->synth, options.soundfont.c_str(), 1) == FLUID_FAILED) {
        const std::string detail = TakeLogError();
        return {nullptr, SequencerError::NoSoundfont,
                "the soundfont " + options.soundfont + " could not be loaded" +
                    (detail.empty() ? "" : ": " + detail)};
    }
    return {std::move(engine), SequencerError::None, {}};
}

void CSynthesizerSequencer::Prepare() {
    if (m_pEngine || m_loading.valid())
        return;
    m_loading = std::async(std::launch::async, [options = m_options] {
        return std::make_shared<LoadedEngine>(LoadEngine(options));
    });
}

SequencerError CSynthesizerSequencer::StartEngine() {
    if (m_pEngine)
        return SequencerError::None;
    // A load started by Prepare is taken once; should it have failed, the next open loads again.
    LoadedEngine loaded = m_loading.valid() ? std::move(*m_loading.get()) : LoadEngine(m_options);
    if (!loaded.engine)
        return Fail(loaded.error, loaded.reason);
    std::unique_ptr<Engine> engine = std::move(loaded.engine);

    if (m_options.wavPath.empty()) {
        std::vector<std::string> drivers;
        if (!m_options.audioDriver.empty()) {
            drivers.push_back(m_options.audioDriver);
        } else {
            char* preferred = nullptr;
            if (fluid_settings_dupstr(engine->settings, "audio.driver", &preferred) == FLUID_OK &&
                preferred) {
                drivers.push_back(preferred);
                fluid_free(preferred);
            }
            std::vector<std::string> others;
            fluid_settings_foreach_option(engine->settings, "audio.driver", &others, CollectOption);
            for (const std::string& other : others) {
                // The file driver writes a file in the current folder: not an audio output.
                if (other != "file" &&
                    std::find(drivers.begin(), drivers.end(), other) == drivers.end())
                    drivers.push_back(other);
            }
        }
        std::string detail;
        for (const std::string& name : drivers) {
            fluid_settings_setstr(engine->settings, "audio.driver", name.c_str());
            TakeLogError();
            engine->driver =
                engine->onBuffer
                    ? new_fluid_audio_driver2(engine->settings, &Engine::Process, engine.get())
                    : new_fluid_audio_driver(engine->settings, engine->synth);
            if (engine->driver)
                break;
            if (detail.empty())
                detail = TakeLogError();
        }
        if (!engine->driver)
            return Fail(SequencerError::NoAudioOutput,
                        "no audio output could be started" + (detail.empty() ? "" : ": " + detail));
    }
    m_pEngine = std::move(engine);
    return SequencerError::None;
}

SequencerError CSynthesizerSequencer::OpenFile(const std::string&, const ByteArray& bytes,
                                               const CMidiSequence&) {
    if (const SequencerError error = StartEngine(); error != SequencerError::None)
        return error;
    m_file = bytes;
    return Rewind();
}

SequencerError CSynthesizerSequencer::Rewind() {
    // FluidSynth's player starts a file at its beginning: rewinding is a fresh player.
    Engine& engine = *m_pEngine;
    if (engine.player) {
        fluid_player_stop(engine.player);
        delete_fluid_player(engine.player);
        engine.player = nullptr;
        engine.Silence();
    }
    engine.player = new_fluid_player(engine.synth);
    if (!engine.player ||
        fluid_player_add_mem(engine.player, m_file.data(), m_file.size()) != FLUID_OK)
        return Fail(SequencerError::NotMidiFile, "FluidSynth cannot play this MIDI file");
    return SequencerError::None;
}

SequencerError CSynthesizerSequencer::Play() {
    if (!m_options.wavPath.empty())
        return RenderToFile();
    fluid_player_set_loop(m_pEngine->player, IsRepeating() ? -1 : 1);
    if (fluid_player_play(m_pEngine->player) != FLUID_OK)
        return Fail(SequencerError::Failed, "FluidSynth cannot play this MIDI file");
    return SequencerError::None;
}

SequencerError CSynthesizerSequencer::RenderToFile() {
    Engine& engine = *m_pEngine;
    fluid_file_renderer_t* renderer = new_fluid_file_renderer(engine.synth);
    if (!renderer)
        return Fail(SequencerError::Failed, "cannot write " + m_options.wavPath);
    int periodSize = 64;
    fluid_settings_getint(engine.settings, "audio.period-size", &periodSize);
    const double periodSeconds = double(periodSize) / kSampleRate;
    double seconds = 0.0;
    // FluidSynth's player ends a little after the last event, once the last notes have rung out
    // (at most two seconds).
    fluid_player_play(engine.player);
    while (fluid_player_get_status(engine.player) == FLUID_PLAYER_PLAYING &&
           seconds < kLongestRenderSeconds) {
        if (fluid_file_renderer_process_block(renderer) != FLUID_OK)
            break;
        seconds += periodSeconds;
    }
    delete_fluid_file_renderer(renderer); // closes the WAV file
    engine.renderedSeconds = seconds;
    return SequencerError::None;
}

SequencerError CSynthesizerSequencer::Stop() {
    if (m_pEngine->player)
        fluid_player_stop(m_pEngine->player);
    m_pEngine->Silence();
    return SequencerError::None;
}

void CSynthesizerSequencer::CloseFile() {
    if (!m_pEngine)
        return;
    Stop();
    if (m_pEngine->player) {
        delete_fluid_player(m_pEngine->player);
        m_pEngine->player = nullptr;
    }
}

} // namespace korvane
