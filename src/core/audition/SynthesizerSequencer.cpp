#include "audition/SynthesizerSequencer.h"

#include "audition/QuietBackends.h"
#include "audition/Soundfont.h"
#include "platform/Environment.h"
#include "platform/ThreadClock.h"

#include <fluidsynth.h>
#include <glib.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace korvane {
namespace {

using Clock = std::chrono::steady_clock;

constexpr double kSampleRate = 44100.0;
// A file that somehow never ends is cut here.
constexpr double kLongestRenderSeconds = 3600.0;
// After the last event the notes ring out for at most this long; the render ends earlier where
// everything has fallen silent.
constexpr double kLongestReleaseSeconds = 2.0;
// A 16-bit sample this quiet or quieter counts as silence at the end of a render.
constexpr int kSilentLevel = 4;
// The frames an offline render block holds.
constexpr int kRenderBlock = 512;
// At most this many output or effect buffers are passed on per audio block.
constexpr int kMostBuffers = 16;

// FluidSynth reports problems through its log; the last error becomes part of our reason text
// instead of noise on the terminal.
std::mutex g_logMutex;
std::string g_lastLogError;

void KeepLogError(int, const char* message, void*) {
    const std::lock_guard<std::mutex> lock(g_logMutex);
    g_lastLogError = message ? message : "";
}

void QuietLog(int, const char*, void*) {}

void QuietLibraryLog(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

void RouteFluidLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        fluid_set_log_function(FLUID_PANIC, KeepLogError, nullptr);
        fluid_set_log_function(FLUID_ERR, KeepLogError, nullptr);
        fluid_set_log_function(FLUID_WARN, QuietLog, nullptr);
        fluid_set_log_function(FLUID_INFO, QuietLog, nullptr);
        fluid_set_log_function(FLUID_DBG, QuietLog, nullptr);
        // The libraries under FluidSynth (libinstpatch reading a soundfont) log through GLib,
        // whose own handler prints "** CRITICAL **" lines; what they say, FluidSynth's error
        // says again, so it goes nowhere.
        g_log_set_default_handler(QuietLibraryLog, nullptr);
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

// One event of the file, as the synthesizer takes it: channel messages by their kind, a
// system-exclusive message without its F0 and closing F7.
void SendEvent(fluid_synth_t* synth, const ByteArray& message) {
    if (message.empty())
        return;
    const std::uint8_t status = message[0];
    if (status == 0xF0) {
        const std::size_t end = message.back() == 0xF7 ? message.size() - 1 : message.size();
        if (end > 1)
            fluid_synth_sysex(synth, reinterpret_cast<const char*>(message.data()) + 1,
                              int(end - 1), nullptr, nullptr, nullptr, 0);
        return;
    }
    if (status < 0x80 || status >= 0xF0)
        return;
    const int channel = status & 0x0F;
    const int first = message.size() > 1 ? message[1] & 0x7F : 0;
    const int second = message.size() > 2 ? message[2] & 0x7F : 0;
    switch (status & 0xF0) {
    case 0x80:
        fluid_synth_noteoff(synth, channel, first);
        break;
    case 0x90:
        if (second == 0)
            fluid_synth_noteoff(synth, channel, first);
        else
            fluid_synth_noteon(synth, channel, first, second);
        break;
    case 0xA0:
        fluid_synth_key_pressure(synth, channel, first, second);
        break;
    case 0xB0:
        fluid_synth_cc(synth, channel, first, second);
        break;
    case 0xC0:
        fluid_synth_program_change(synth, channel, first);
        break;
    case 0xD0:
        fluid_synth_channel_pressure(synth, channel, first);
        break;
    case 0xE0:
        fluid_synth_pitch_bend(synth, channel, first | second << 7);
        break;
    }
}

// The one wording of a synthesizer given up, wherever it happened.
constexpr const char* kStalledText = "the synthesizer stopped making progress";

// What the caller's thread asks of the rendering thread.
struct EngineCommand {
    enum Kind : std::uint8_t { Load, Rewind, Play, Stop };
    Kind kind = Stop;
    CMidiSequence* sequence = nullptr; // Load: swapped with the one the schedule holds
    bool repeat = false;               // Play
};

// A ring of one writer and one reader, as FluidSynth hands events to its mixer: the caller's
// thread pushes, the rendering thread takes, and neither ever waits for the other.
template <typename T, std::size_t N> class CHandOverRing {
public:
    bool Push(const T& item) {
        const std::size_t head = m_head.load(std::memory_order_relaxed);
        if (head - m_tail.load(std::memory_order_acquire) == N)
            return false;
        m_items[head % N] = item;
        m_head.store(head + 1, std::memory_order_release);
        return true;
    }
    bool Take(T& item) {
        const std::size_t tail = m_tail.load(std::memory_order_relaxed);
        if (tail == m_head.load(std::memory_order_acquire))
            return false;
        item = m_items[tail % N];
        m_tail.store(tail + 1, std::memory_order_release);
        return true;
    }
    std::size_t Pushed() const { return m_head.load(std::memory_order_relaxed); }
    std::size_t Taken() const { return m_tail.load(std::memory_order_acquire); }

private:
    std::array<T, N> m_items{};
    std::atomic<std::size_t> m_head{0};
    std::atomic<std::size_t> m_tail{0};
};

// Tells a stalled thread from a slow one: it has stalled when neither its work nor the processor
// time it used moved for the stall time. A thread whose time cannot be read has ended.
class CProgressWatch {
public:
    CProgressWatch(double stallSeconds, CThreadClock clock)
        : m_stall(stallSeconds), m_clock(clock), m_time(clock.Nanoseconds()),
          m_since(Clock::now()) {}
    bool Stalled(std::uint64_t work) {
        const std::int64_t time = m_clock.Nanoseconds();
        if (work != m_work || time != m_time) {
            m_work = work;
            m_time = time;
            m_since = Clock::now();
            return false;
        }
        return Clock::now() - m_since > m_stall;
    }

private:
    std::chrono::duration<double> m_stall;
    CThreadClock m_clock;
    std::int64_t m_time;
    std::uint64_t m_work = 0;
    Clock::time_point m_since;
};

std::int16_t ToSample(float value) {
    return std::int16_t(std::lround(std::clamp(value, -1.0f, 32767.0f / 32768.0f) * 32768.0f));
}

void PutLittleEndian(std::uint8_t* at, std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i)
        at[i] = std::uint8_t(value >> (8 * i));
}

// The 44-byte header of a 16-bit stereo 44.1 kHz WAV file holding frames frames.
std::vector<std::uint8_t> WavHeader(std::uint64_t frames) {
    const std::uint32_t dataBytes = std::uint32_t(std::min<std::uint64_t>(frames * 4, 0xFFFFFFDBu));
    std::vector<std::uint8_t> header(44);
    std::memcpy(header.data(), "RIFF", 4);
    PutLittleEndian(&header[4], 36 + dataBytes, 4);
    std::memcpy(&header[8], "WAVEfmt ", 8);
    PutLittleEndian(&header[16], 16, 4);
    PutLittleEndian(&header[20], 1, 2); // PCM
    PutLittleEndian(&header[22], 2, 2);
    PutLittleEndian(&header[24], std::uint32_t(kSampleRate), 4);
    PutLittleEndian(&header[28], std::uint32_t(kSampleRate) * 4, 4);
    PutLittleEndian(&header[32], 4, 2);
    PutLittleEndian(&header[34], 16, 2);
    std::memcpy(&header[36], "data", 4);
    PutLittleEndian(&header[40], dataBytes, 4);
    return header;
}

} // namespace

// FluidSynth's objects and where the playback stands. The schedule and the playing flags belong
// to the rendering thread (the audio driver's, or the offline render's), which takes the caller's
// commands from the ring before each block and publishes its progress through atomics.
struct CSynthesizerSequencer::Engine {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    fluid_audio_driver_t* driver = nullptr;
    std::shared_ptr<void> standIn; // the tests' audio in place of the driver
    std::function<void(const float*, const float*, int, std::int64_t)> onBuffer;

    CHandOverRing<EngineCommand, 64> commands;
    // The caller's: each sequence handed over with the number of its command. Once the rendering
    // thread has taken that command, the holder keeps the sequence it replaced, freed here.
    std::vector<std::pair<std::size_t, std::unique_ptr<CMidiSequence>>> handedOver;

    // The rendering thread's alone.
    CEventScheduler schedule;
    bool playing = false;
    bool silenced = false;  // a stop silenced every channel after events went out
    std::int64_t frame = 0; // the file's position of the next frame rendered while playing

    // Published by the rendering thread.
    std::atomic<std::uint64_t> renderedFrames{0}; // the measure of progress
    std::atomic<Clock::rep> lastBlock{Clock::now().time_since_epoch().count()};
    std::atomic<bool> finished{true}; // not playing, or every event sent
    std::atomic<int> activeVoices{0};
    std::atomic<std::uint64_t> notesSounded{0};
    // The commands taken before the last block: what finished and activeVoices reflect.
    std::atomic<std::size_t> settledCommands{0};
    // Set by the caller when it gave the synthesizer up: every later block is silence.
    std::atomic<bool> abandoned{false};

    ~Engine() {
        if (driver)
            delete_fluid_audio_driver(driver); // the audio thread ends here
        standIn.reset();
        if (synth)
            delete_fluid_synth(synth);
        if (settings)
            delete_fluid_settings(settings);
    }

    void Send(const ByteArray& bytes) {
        if (bytes.size() >= 3 && (bytes[0] & 0xF0) == 0x90 && (bytes[2] & 0x7F) != 0)
            notesSounded.fetch_add(1, std::memory_order_relaxed);
        SendEvent(synth, bytes);
    }

    void Silence() {
        fluid_synth_all_notes_off(synth, -1);
        fluid_synth_all_sounds_off(synth, -1);
    }

    // The caller's commands, in the order given.
    void TakeCommands() {
        EngineCommand command;
        while (commands.Take(command)) {
            switch (command.kind) {
            case EngineCommand::Load:
            case EngineCommand::Rewind:
                if (playing || schedule.ReachedSeconds() > 0.0)
                    Silence();
                if (command.kind == EngineCommand::Load)
                    schedule.SwapSequence(*command.sequence);
                else
                    schedule.Rewind();
                playing = false;
                silenced = false;
                frame = 0;
                break;
            case EngineCommand::Play:
                if (!playing && silenced) {
                    // A resume after a stop: the notes the stop cut sound again.
                    for (const CMidiEvent& note : schedule.SoundingNotes())
                        Send(note.bytes);
                }
                silenced = false;
                schedule.SetRepeat(command.repeat);
                playing = true;
                break;
            case EngineCommand::Stop:
                if (playing)
                    silenced = true;
                playing = false;
                Silence();
                break;
            }
        }
    }

    // Renders frames frames through render(offset, count), handing the synthesizer each event
    // just before the frame it falls on. FluidSynth applies an event from its next 64-frame step,
    // so an event sounds at most 1.5 ms after its sample.
    template <typename Render> void RenderFrames(int frames, Render&& render) {
        TakeCommands();
        int done = 0;
        while (done < frames) {
            int count = frames - done;
            if (playing) {
                schedule.TakeDue((double(frame) + 0.5) / kSampleRate,
                                 [this](const CMidiEvent& event) { Send(event.bytes); });
                if (!schedule.Finished()) {
                    const std::int64_t next = std::llround(schedule.NextDue() * kSampleRate);
                    count =
                        int(std::min<std::int64_t>(count, std::max<std::int64_t>(1, next - frame)));
                }
            }
            render(done, count);
            done += count;
            if (playing)
                frame += count;
        }
        finished = !playing || schedule.Finished();
        activeVoices = fluid_synth_get_active_voice_count(synth);
        settledCommands = commands.Taken();
        renderedFrames += std::uint64_t(frames);
        lastBlock = Clock::now().time_since_epoch().count();
    }

    // The audio driver's callback: one block of the live playback.
    static int Process(void* data, int length, int effectCount, float* effects[], int outCount,
                       float* out[]) {
        auto* engine = static_cast<Engine*>(data);
        for (int i = 0; i < outCount; ++i)
            std::fill(out[i], out[i] + length, 0.0f);
        for (int i = 0; i < effectCount; ++i)
            std::fill(effects[i], effects[i] + length, 0.0f);
        if (engine->abandoned)
            return FLUID_OK;
        effectCount = std::min(effectCount, kMostBuffers);
        outCount = std::min(outCount, kMostBuffers);
        int result = FLUID_OK;
        const std::int64_t fileFrame = engine->playing ? engine->frame : -1;
        engine->RenderFrames(length, [&](int offset, int count) {
            float* effectsAt[kMostBuffers];
            float* outAt[kMostBuffers];
            for (int i = 0; i < effectCount; ++i)
                effectsAt[i] = effects[i] + offset;
            for (int i = 0; i < outCount; ++i)
                outAt[i] = out[i] + offset;
            if (fluid_synth_process(engine->synth, count, effectCount, effectsAt, outCount,
                                    outAt) != FLUID_OK)
                result = FLUID_FAILED;
        });
        if (engine->onBuffer && outCount >= 2)
            engine->onBuffer(out[0], out[1], length, fileFrame);
        return result;
    }
};

// A synthesizer with its soundfont loaded, or why it could not be made; and, while Prepare's
// thread makes it, the means to wait for it.
struct CSynthesizerSequencer::Loading {
    std::mutex mutex;
    std::condition_variable loaded;
    bool done = false;
    std::shared_ptr<Engine> engine;
    SequencerError error = SequencerError::None;
    std::string reason;
    CThreadClock clock; // of the loading thread, whose only progress is its work

    void Load(const SynthesizerOptions& options);
};

void CSynthesizerSequencer::Loading::Load(const SynthesizerOptions& options) {
    auto finish = [this](std::shared_ptr<Engine> made, SequencerError failure, std::string why) {
        const std::lock_guard<std::mutex> lock(mutex);
        engine = std::move(made);
        error = failure;
        reason = std::move(why);
        done = true;
        loaded.notify_all();
    };
    // A FIFO, device or huge file is refused before FluidSynth could wait on it or read it all.
    if (const auto problem = CheckSoundfont(options.soundfont))
        return finish(nullptr, SequencerError::NoSoundfont, *problem);

    auto made = std::make_shared<Engine>();
    made->onBuffer = options.onBuffer;
    made->settings = new_fluid_settings();
    if (!made->settings)
        return finish(nullptr, SequencerError::Failed, "the synthesizer could not be started");
    // Styles select drum kits with bank MSB 127 on any channel: XG bank select makes them drums.
    fluid_settings_setstr(made->settings, "synth.midi-bank-select", "xg");
    fluid_settings_setnum(made->settings, "synth.sample-rate", kSampleRate);
    made->synth = new_fluid_synth(made->settings);
    if (!made->synth)
        return finish(nullptr, SequencerError::Failed, "the synthesizer could not be started");
    TakeLogError();
    if (fluid_synth_sfload(made->synth, options.soundfont.c_str(), 1) == FLUID_FAILED) {
        const std::string detail = TakeLogError();
        return finish(nullptr, SequencerError::NoSoundfont,
                      "the soundfont " + options.soundfont + " could not be loaded" +
                          (detail.empty() ? "" : ": " + detail));
    }
    finish(std::move(made), SequencerError::None, {});
}

CSynthesizerSequencer::CSynthesizerSequencer(SynthesizerOptions options)
    : m_options(std::move(options)) {
    RouteFluidLog();
    QuietSoundBackends();
    // A JACK server that is not running must not be started behind the user's back. Set here, on
    // the constructing thread, before any thread of ours could read the environment.
    if (m_options.wavPath.empty())
        SetEnvironmentDefault("JACK_NO_START_SERVER", "1");
}

CSynthesizerSequencer::~CSynthesizerSequencer() {
    // Deleting a driver waits for its audio thread: a stalled one is given up instead.
    if (m_pEngine && m_options.wavPath.empty() && HasStalled())
        GiveUp();
}

double CSynthesizerSequencer::GetRenderedSeconds() const {
    return m_renderedSeconds;
}

void CSynthesizerSequencer::Prepare() {
    if (m_pEngine || m_pLoading)
        return;
    try {
        auto loading = std::make_shared<Loading>();
        // Detached: a load that takes long never holds up the window's thread or its exit.
        std::thread thread([loading, options = m_options] { loading->Load(options); });
        loading->clock = CThreadClock(thread);
        thread.detach();
        m_pLoading = std::move(loading);
    } catch (...) {
        // No thread (or memory) to spare: the first open loads instead.
    }
}

SequencerError CSynthesizerSequencer::GiveUp() {
    // Silent from its next block on, whatever it was asked before. Its objects are deleted on a
    // thread of their own: deleting a driver waits for the audio thread, which may be stuck.
    m_pEngine->abandoned = true;
    std::shared_ptr<Engine> engine = std::move(m_pEngine);
    try {
        std::thread([engine = std::move(engine)]() mutable { engine.reset(); }).detach();
    } catch (...) {
        // No thread to spare: it stays silent, and is never deleted, rather than wait here.
        new std::shared_ptr<Engine>(std::move(engine));
    }
    return Fail(SequencerError::Stalled, kStalledText);
}

bool CSynthesizerSequencer::HasStalled() {
    const Clock::time_point lastBlock{Clock::duration(m_pEngine->lastBlock.load())};
    return Clock::now() - lastBlock > std::chrono::duration<double>(m_options.stallSeconds);
}

SequencerError CSynthesizerSequencer::Hand(int kind, std::unique_ptr<CMidiSequence> sequence) {
    Engine& engine = *m_pEngine;
    if (m_options.wavPath.empty() && HasStalled())
        return GiveUp();
    const std::size_t taken = engine.commands.Taken();
    std::erase_if(engine.handedOver, [&](const auto& held) { return held.first < taken; });
    EngineCommand command;
    command.kind = EngineCommand::Kind(kind);
    command.sequence = sequence.get();
    command.repeat = IsRepeating();
    const std::size_t number = engine.commands.Pushed();
    if (sequence)
        engine.handedOver.emplace_back(number, std::move(sequence));
    if (!engine.commands.Push(command)) {
        // The rendering thread took none of the last commands: it is stuck.
        if (command.sequence)
            engine.handedOver.pop_back();
        return GiveUp();
    }
    return SequencerError::None;
}

SequencerError CSynthesizerSequencer::StartEngine() {
    if (m_pEngine)
        return SequencerError::None;
    std::shared_ptr<Loading> loading = std::move(m_pLoading);
    if (!loading) {
        loading = std::make_shared<Loading>();
        loading->Load(m_options);
    }
    {
        // A load is waited for while its thread works, however slowly.
        CProgressWatch watch(m_options.stallSeconds, loading->clock);
        std::unique_lock<std::mutex> lock(loading->mutex);
        while (!loading->loaded.wait_for(lock, std::chrono::milliseconds(20),
                                         [&] { return loading->done; })) {
            if (watch.Stalled(0)) {
                m_pLoading = loading; // the next open looks again
                return Fail(SequencerError::Stalled, kStalledText);
            }
        }
        // A load that failed is reported once; the next open loads again.
        if (!loading->engine)
            return Fail(loading->error, loading->reason);
    }
    std::shared_ptr<Engine> engine = std::move(loading->engine);

    if (m_options.startAudio) {
        engine->standIn =
            m_options.startAudio([engine = engine.get()](int frames, float* left, float* right) {
                float* out[] = {left, right};
                Engine::Process(engine, frames, 0, nullptr, 2, out);
            });
    } else if (m_options.wavPath.empty()) {
        std::vector<std::string> offered;
        fluid_settings_foreach_option(engine->settings, "audio.driver", &offered, CollectOption);
        std::vector<std::string> drivers;
        if (!m_options.audioDriver.empty())
            drivers.push_back(m_options.audioDriver);
        for (const char* automatic : kAutomaticAudioDrivers) {
            if (m_options.audioDriver.empty() &&
                std::find(offered.begin(), offered.end(), automatic) != offered.end())
                drivers.push_back(automatic);
        }
        std::string tried, detail;
        for (const std::string& name : drivers) {
            tried += (tried.empty() ? "" : ", ") + name;
            TakeLogError();
            if (fluid_settings_setstr(engine->settings, "audio.driver", name.c_str()) == FLUID_OK)
                engine->driver =
                    new_fluid_audio_driver2(engine->settings, &Engine::Process, engine.get());
            if (engine->driver)
                break;
            if (detail.empty())
                detail = TakeLogError();
        }
        if (!engine->driver)
            return Fail(SequencerError::NoAudioOutput,
                        "no audio output could be started (tried " +
                            (tried.empty() ? std::string("none") : tried) + ")" +
                            (detail.empty() ? "" : ": " + detail));
    }
    engine->lastBlock = Clock::now().time_since_epoch().count(); // the audio starts from here
    m_pEngine = std::move(engine);
    return SequencerError::None;
}

SequencerError CSynthesizerSequencer::OpenFile(const std::string&, const ByteArray&,
                                               const CMidiSequence& sequence) {
    if (const SequencerError error = StartEngine(); error != SequencerError::None)
        return error;
    m_rendered = false;
    return Hand(EngineCommand::Load, std::make_unique<CMidiSequence>(sequence));
}

SequencerError CSynthesizerSequencer::Rewind() {
    if (!m_pEngine)
        return Fail(SequencerError::NotOpen, "no music file is open");
    m_rendered = false;
    return Hand(EngineCommand::Rewind);
}

SequencerError CSynthesizerSequencer::Play() {
    if (!m_pEngine)
        return Fail(SequencerError::NotOpen, "no music file is open");
    if (!m_options.wavPath.empty())
        return m_rendered ? SequencerError::None : RenderToFile();
    // Returns at once: a synthesizer that renders nothing is given up at a later command.
    return Hand(EngineCommand::Play);
}

SequencerError CSynthesizerSequencer::RenderToFile() {
    // The render runs on a thread of its own, so that a synthesizer that stops rendering can be
    // given up; this thread watches its progress.
    struct Job {
        std::mutex mutex;
        std::condition_variable finished;
        bool done = false;
        std::atomic<bool> abandoned{false};
        std::uint64_t frames = 0;
        std::string failure;
    };
    auto job = std::make_shared<Job>();
    std::shared_ptr<Engine> engine = m_pEngine;
    CThreadClock clock;
    try {
        std::thread thread([job, engine, path = m_options.wavPath,
                            soundfont = m_options.soundfont] {
            std::string failure;
            std::uint64_t frames = 0;
            int peak = 0;
            std::FILE* file = std::fopen(path.c_str(), "wb");
            if (!file) {
                failure = "cannot write " + path + ": " + std::strerror(errno);
            } else {
                int writeError = 0;
                auto write = [&](const void* data, std::size_t size, std::size_t count) {
                    if (writeError == 0 && std::fwrite(data, size, count, file) != count)
                        writeError = errno ? errno : EIO;
                    return writeError == 0;
                };
                std::vector<std::uint8_t> header = WavHeader(0);
                write(header.data(), 1, header.size());
                std::vector<float> left(kRenderBlock), right(kRenderBlock);
                std::vector<std::int16_t> samples;
                auto renderBlock = [&] {
                    const std::int64_t fileFrame = engine->frame;
                    engine->RenderFrames(kRenderBlock, [&](int offset, int count) {
                        fluid_synth_write_float(engine->synth, count, left.data(), offset, 1,
                                                right.data(), offset, 1);
                    });
                    if (engine->onBuffer)
                        engine->onBuffer(left.data(), right.data(), kRenderBlock, fileFrame);
                    for (int i = 0; i < kRenderBlock; ++i) {
                        samples.push_back(ToSample(left[std::size_t(i)]));
                        samples.push_back(ToSample(right[std::size_t(i)]));
                    }
                };
                auto loudest = [&](std::size_t from) {
                    for (std::size_t i = from; i < samples.size(); ++i)
                        peak = std::max(peak, std::abs(int(samples[i])));
                };
                // The commands given so far; then a render plays the file once, whatever the
                // play asked for.
                engine->TakeCommands();
                engine->schedule.SetRepeat(false);
                engine->playing = true;
                // The events: every block is written as it is rendered.
                while (writeError == 0 && !job->abandoned && !engine->schedule.Finished() &&
                       double(frames) < kLongestRenderSeconds * kSampleRate) {
                    samples.clear();
                    renderBlock();
                    loudest(0);
                    write(samples.data(), 2, samples.size());
                    frames += kRenderBlock;
                }
                // The release: until everything has fallen silent, at most two seconds, cut
                // after the last sound.
                samples.clear();
                while (writeError == 0 && !job->abandoned &&
                       double(samples.size() / 2) < kLongestReleaseSeconds * kSampleRate) {
                    const std::size_t before = samples.size();
                    renderBlock();
                    const bool quiet = std::all_of(
                        samples.begin() + std::ptrdiff_t(before), samples.end(),
                        [](std::int16_t sample) { return std::abs(int(sample)) <= kSilentLevel; });
                    if (quiet && fluid_synth_get_active_voice_count(engine->synth) == 0)
                        break;
                }
                std::size_t kept = samples.size();
                while (kept > 0 && std::abs(int(samples[kept - 1])) <= kSilentLevel)
                    --kept;
                kept += kept % 2;
                loudest(0);
                write(samples.data(), 2, kept);
                frames += kept / 2;
                header = WavHeader(frames);
                if (writeError == 0 && std::fseek(file, 0, SEEK_SET) != 0)
                    writeError = errno;
                write(header.data(), 1, header.size());
                if (std::fclose(file) != 0 && writeError == 0)
                    writeError = errno ? errno : EIO;
                if (writeError != 0)
                    failure = "cannot write " + path + ": " + std::strerror(writeError);
                else if (engine->notesSounded > 0 && peak <= kSilentLevel)
                    failure = "the soundfont " + soundfont + " made no sound for the style's notes";
            }
            const std::lock_guard<std::mutex> lock(job->mutex);
            job->frames = frames;
            job->failure = failure;
            job->done = true;
            job->finished.notify_all();
        });
        clock = CThreadClock(thread);
        thread.detach();
    } catch (const std::system_error&) {
        return Fail(SequencerError::Failed, "the synthesizer could not be started");
    }

    CProgressWatch watch(m_options.stallSeconds, clock);
    std::unique_lock<std::mutex> lock(job->mutex);
    while (
        !job->finished.wait_for(lock, std::chrono::milliseconds(50), [&] { return job->done; })) {
        if (watch.Stalled(engine->renderedFrames)) {
            job->abandoned = true;
            lock.unlock();
            m_renderedSeconds = 0.0;
            return GiveUp();
        }
    }
    m_rendered = true;
    // A render that failed claims no sound.
    m_renderedSeconds = job->failure.empty() ? double(job->frames) / kSampleRate : 0.0;
    if (!job->failure.empty())
        return Fail(SequencerError::Failed, job->failure);
    return SequencerError::None;
}

SequencerError CSynthesizerSequencer::WaitWhilePlaying() try {
    if (!m_pEngine || !m_options.wavPath.empty())
        return SequencerError::None;
    std::optional<Clock::time_point> releaseEnd;
    while (!releaseEnd || Clock::now() < *releaseEnd) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (HasStalled())
            return GiveUp();
        Engine& engine = *m_pEngine;
        if (!releaseEnd) {
            if (engine.settledCommands == engine.commands.Pushed() && engine.finished)
                releaseEnd = Clock::now() + std::chrono::seconds(2);
        } else if (engine.activeVoices == 0) {
            break;
        }
    }
    return SequencerError::None;
} catch (...) {
    return SequencerError::Failed; // as every command: nothing thrown leaves the module
}

SequencerError CSynthesizerSequencer::Stop() {
    if (!m_pEngine)
        return SequencerError::None;
    return Hand(EngineCommand::Stop);
}

void CSynthesizerSequencer::CloseFile() {
    Stop();
}

} // namespace korvane
