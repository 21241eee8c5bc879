#include "audition/SynthesizerSequencer.h"

#include "audition/QuietBackends.h"
#include "audition/Soundfont.h"
#include "platform/Environment.h"

#include <fluidsynth.h>

#include <algorithm>
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

// FluidSynth's objects and where the playback stands. The rendering thread (the audio driver's,
// or the offline render's) and the caller share the schedule and the flags under lock.
struct CSynthesizerSequencer::Engine {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    fluid_audio_driver_t* driver = nullptr;
    std::function<void(const float*, const float*, int, std::int64_t)> onBuffer;

    std::timed_mutex lock;
    CEventScheduler schedule;
    bool playing = false;
    bool silenced = false;  // a stop silenced every channel after events went out
    std::int64_t frame = 0; // the file's position of the next frame rendered while playing
    // Frames rendered in all: the watchdog's measure of progress.
    std::atomic<std::uint64_t> renderedFrames{0};

    ~Engine() {
        if (driver)
            delete_fluid_audio_driver(driver); // the audio thread ends here
        if (synth)
            delete_fluid_synth(synth);
        if (settings)
            delete_fluid_settings(settings);
    }

    // Renders frames frames through render(offset, count), handing the synthesizer each event
    // just before the frame it falls on. FluidSynth applies an event from its next 64-frame step,
    // so an event sounds at most 1.5 ms after its sample. The caller holds lock.
    template <typename Render> void RenderFrames(int frames, Render&& render) {
        int done = 0;
        while (done < frames) {
            int count = frames - done;
            if (playing) {
                schedule.TakeDue(
                    (double(frame) + 0.5) / kSampleRate,
                    [this](const CMidiEvent& event) { SendEvent(synth, event.bytes); });
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
        renderedFrames += std::uint64_t(frames);
    }

    // The audio driver's callback: one block of the live playback.
    static int Process(void* data, int length, int effectCount, float* effects[], int outCount,
                       float* out[]) {
        auto* engine = static_cast<Engine*>(data);
        for (int i = 0; i < outCount; ++i)
            std::fill(out[i], out[i] + length, 0.0f);
        for (int i = 0; i < effectCount; ++i)
            std::fill(effects[i], effects[i] + length, 0.0f);
        effectCount = std::min(effectCount, kMostBuffers);
        outCount = std::min(outCount, kMostBuffers);
        int result = FLUID_OK;
        std::int64_t fileFrame = -1;
        {
            const std::lock_guard<std::timed_mutex> lock(engine->lock);
            fileFrame = engine->playing ? engine->frame : -1;
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
        }
        if (engine->onBuffer && outCount >= 2)
            engine->onBuffer(out[0], out[1], length, fileFrame);
        return result;
    }

    void Silence() {
        fluid_synth_all_notes_off(synth, -1);
        fluid_synth_all_sounds_off(synth, -1);
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

CSynthesizerSequencer::~CSynthesizerSequencer() = default;

double CSynthesizerSequencer::GetRenderedSeconds() const {
    return m_renderedSeconds;
}

void CSynthesizerSequencer::Prepare() {
    if (m_pEngine || m_pLoading)
        return;
    try {
        auto loading = std::make_shared<Loading>();
        // Detached: a load that takes long never holds up the window's thread or its exit.
        std::thread([loading, options = m_options] { loading->Load(options); }).detach();
        m_pLoading = std::move(loading);
    } catch (...) {
        // No thread (or memory) to spare: the first open loads instead.
    }
}

SequencerError CSynthesizerSequencer::GiveUp() {
    // The rendering thread is stuck inside FluidSynth: its objects cannot be deleted (that would
    // wait for it), so they are left to it for good; the next open makes new ones.
    // They stay reachable from a list that is never destroyed, since destroying it at exit
    // would wait for the stuck thread too.
    static auto* const abandoned = new std::vector<std::shared_ptr<Engine>>;
    static std::mutex abandonedLock;
    const std::lock_guard<std::mutex> lock(abandonedLock);
    abandoned->push_back(std::move(m_pEngine));
    return Fail(SequencerError::Stalled, "the synthesizer stopped making progress");
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
        std::unique_lock<std::mutex> lock(loading->mutex);
        if (!loading->loaded.wait_for(lock, std::chrono::duration<double>(m_options.stallSeconds),
                                      [&] { return loading->done; })) {
            m_pLoading = loading; // the next open looks again
            return Fail(SequencerError::Stalled,
                        "the soundfont " + m_options.soundfont + " is still loading");
        }
        // A load that failed is reported once; the next open loads again.
        if (!loading->engine)
            return Fail(loading->error, loading->reason);
    }
    std::shared_ptr<Engine> engine = std::move(loading->engine);

    if (m_options.wavPath.empty()) {
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
    m_pEngine = std::move(engine);
    return SequencerError::None;
}

SequencerError CSynthesizerSequencer::OpenFile(const std::string&, const ByteArray&,
                                               const CMidiSequence& sequence) {
    if (const SequencerError error = StartEngine(); error != SequencerError::None)
        return error;
    std::unique_lock<std::timed_mutex> lock(m_pEngine->lock, std::defer_lock);
    if (!lock.try_lock_for(std::chrono::duration<double>(m_options.stallSeconds)))
        return GiveUp();
    m_pEngine->schedule.SetSequence(sequence);
    m_pEngine->frame = 0;
    m_pEngine->playing = false;
    m_pEngine->silenced = false;
    m_rendered = false;
    return SequencerError::None;
}

SequencerError CSynthesizerSequencer::Rewind() {
    if (!m_pEngine)
        return Fail(SequencerError::NotOpen, "no music file is open");
    std::unique_lock<std::timed_mutex> lock(m_pEngine->lock, std::defer_lock);
    if (!lock.try_lock_for(std::chrono::duration<double>(m_options.stallSeconds)))
        return GiveUp();
    Engine& engine = *m_pEngine;
    if (engine.playing || engine.schedule.ReachedSeconds() > 0.0)
        engine.Silence();
    engine.playing = false;
    engine.silenced = false;
    engine.schedule.Rewind();
    engine.frame = 0;
    m_rendered = false;
    return SequencerError::None;
}

SequencerError CSynthesizerSequencer::Play() {
    if (!m_pEngine)
        return Fail(SequencerError::NotOpen, "no music file is open");
    if (!m_options.wavPath.empty())
        return m_rendered ? SequencerError::None : RenderToFile();
    std::uint64_t rendered = 0;
    {
        std::unique_lock<std::timed_mutex> lock(m_pEngine->lock, std::defer_lock);
        if (!lock.try_lock_for(std::chrono::duration<double>(m_options.stallSeconds)))
            return GiveUp();
        Engine& engine = *m_pEngine;
        if (!engine.playing && engine.silenced) {
            // A resume after a stop: the notes the stop cut sound again.
            for (const CMidiEvent& note : engine.schedule.SoundingNotes())
                SendEvent(engine.synth, note.bytes);
        }
        engine.silenced = false;
        engine.schedule.SetRepeat(IsRepeating());
        engine.playing = true;
        rendered = engine.renderedFrames;
    }
    // The synthesizer must show it renders: a block after this one.
    const auto deadline = Clock::now() + std::chrono::duration<double>(m_options.stallSeconds);
    while (m_pEngine->renderedFrames == rendered) {
        if (Clock::now() > deadline)
            return GiveUp();
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return SequencerError::None;
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
    try {
        std::thread([job, engine, path = m_options.wavPath] {
            std::string failure;
            std::uint64_t frames = 0;
            std::FILE* file = std::fopen(path.c_str(), "wb");
            if (!file) {
                failure = "cannot write " + path + ": " + std::strerror(errno);
            } else {
                std::vector<std::uint8_t> header = WavHeader(0);
                bool written = std::fwrite(header.data(), 1, header.size(), file) == header.size();
                std::vector<float> left(kRenderBlock), right(kRenderBlock);
                std::vector<std::int16_t> samples;
                auto renderBlock = [&] {
                    const std::lock_guard<std::timed_mutex> lock(engine->lock);
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
                {
                    const std::lock_guard<std::timed_mutex> lock(engine->lock);
                    // A render plays the file once, whatever the play asked for.
                    engine->schedule.SetRepeat(false);
                    engine->playing = true;
                }
                // The events: every block is written as it is rendered.
                while (written && !job->abandoned && !engine->schedule.Finished() &&
                       double(frames) < kLongestRenderSeconds * kSampleRate) {
                    samples.clear();
                    renderBlock();
                    written =
                        std::fwrite(samples.data(), 2, samples.size(), file) == samples.size();
                    frames += kRenderBlock;
                }
                // The release: until everything has fallen silent, at most two seconds, cut
                // after the last sound.
                samples.clear();
                while (written && !job->abandoned &&
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
                if (written)
                    written = std::fwrite(samples.data(), 2, kept, file) == kept;
                frames += kept / 2;
                header = WavHeader(frames);
                written = written && std::fseek(file, 0, SEEK_SET) == 0 &&
                          std::fwrite(header.data(), 1, header.size(), file) == header.size();
                if (std::fclose(file) != 0 || !written)
                    failure = "cannot write " + path + ": " + std::strerror(errno);
            }
            const std::lock_guard<std::mutex> lock(job->mutex);
            job->frames = frames;
            job->failure = failure;
            job->done = true;
            job->finished.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return Fail(SequencerError::Failed, "the synthesizer could not be started");
    }

    std::uint64_t progress = engine->renderedFrames;
    auto lastProgress = Clock::now();
    std::unique_lock<std::mutex> lock(job->mutex);
    while (
        !job->finished.wait_for(lock, std::chrono::milliseconds(50), [&] { return job->done; })) {
        if (engine->renderedFrames != progress) {
            progress = engine->renderedFrames;
            lastProgress = Clock::now();
        } else if (Clock::now() - lastProgress >
                   std::chrono::duration<double>(m_options.stallSeconds)) {
            job->abandoned = true;
            lock.unlock();
            return GiveUp();
        }
    }
    m_rendered = true;
    m_renderedSeconds = double(job->frames) / kSampleRate;
    if (!job->failure.empty())
        return Fail(SequencerError::Failed, job->failure);
    return SequencerError::None;
}

SequencerError CSynthesizerSequencer::WaitWhilePlaying() try {
    if (!m_pEngine || !m_options.wavPath.empty())
        return SequencerError::None;
    const auto stall = std::chrono::duration<double>(m_options.stallSeconds);
    std::uint64_t progress = m_pEngine->renderedFrames;
    auto lastProgress = Clock::now();
    std::optional<Clock::time_point> releaseEnd;
    while (!releaseEnd || Clock::now() < *releaseEnd) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (m_pEngine->renderedFrames != progress) {
            progress = m_pEngine->renderedFrames;
            lastProgress = Clock::now();
        } else if (Clock::now() - lastProgress > stall) {
            return GiveUp();
        }
        if (!releaseEnd) {
            std::unique_lock<std::timed_mutex> lock(m_pEngine->lock, std::defer_lock);
            if (!lock.try_lock_for(stall))
                return GiveUp();
            if (!m_pEngine->playing || m_pEngine->schedule.Finished())
                releaseEnd = Clock::now() + std::chrono::seconds(2);
        } else if (fluid_synth_get_active_voice_count(m_pEngine->synth) == 0) {
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
    std::unique_lock<std::timed_mutex> lock(m_pEngine->lock, std::defer_lock);
    if (!lock.try_lock_for(std::chrono::duration<double>(m_options.stallSeconds)))
        return GiveUp();
    Engine& engine = *m_pEngine;
    if (engine.playing)
        engine.silenced = true;
    engine.playing = false;
    engine.Silence();
    return SequencerError::None;
}

void CSynthesizerSequencer::CloseFile() {
    Stop();
}

} // namespace korvane
