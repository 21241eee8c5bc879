// The real sequencers: FluidSynth renders on this machine, a MIDI port through a JACK server the
// test starts, and what each says when it cannot play.

#include "AuditionTestSupport.h"
#include "assignment/SaveCommand.h"
#include "audition/AuditionOutput.h"
#include "audition/AuditionPlayer.h"
#include "audition/EventScheduler.h"
#include "audition/MidiFile.h"
#include "audition/PortSequencer.h"
#include "audition/Soundfont.h"
#include "audition/SynthesizerSequencer.h"
#include "support/JackRecorder.h"
#include "support/JackServer.h"
#include "support/StyleBytes.h"

#include <jack/jack.h>
#include <jack/ringbuffer.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <future>
#include <mutex>
#include <optional>
#include <thread>

// The ring a port's client frees: when a test asks, it first watches for half a second (some 340
// cycles of the test's server) whether JACK still calls the client's callback.
namespace {
std::atomic<bool> g_watchRingFree{false};
std::atomic<bool> g_callbackRan{false};
std::atomic<bool> g_ranAtRingFree{false};
} // namespace

extern "C" void jack_ringbuffer_free(jack_ringbuffer_t* ring) {
    static const auto real =
        reinterpret_cast<void (*)(jack_ringbuffer_t*)>(dlsym(RTLD_NEXT, "jack_ringbuffer_free"));
    if (g_watchRingFree.exchange(false)) {
        g_callbackRan = false;
        for (int wait = 0; wait < 50 && !g_callbackRan; ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        g_ranAtRingFree = g_callbackRan.load();
        if (g_ranAtRingFree)
            return; // kept, so that the test reports the fault rather than crashing on it
    }
    real(ring);
}

namespace korvane::testing {
namespace {

// The samples of a 16-bit stereo 44.1 kHz WAV file as FluidSynth's renderer writes it, or
// nothing when the header says otherwise.
std::optional<std::vector<std::int16_t>> ReadWavSamples(const std::string& path) {
    const std::string bytes = ReadBytes(path);
    if (bytes.size() < 44 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0)
        return std::nullopt;
    auto little = [&](std::size_t at, int count) {
        std::uint32_t value = 0;
        for (int i = count - 1; i >= 0; --i)
            value = (value << 8) | std::uint8_t(bytes[at + std::size_t(i)]);
        return value;
    };
    std::size_t at = 12;
    bool formatOk = false;
    while (at + 8 <= bytes.size()) {
        const std::string tag = bytes.substr(at, 4);
        const std::uint32_t length = little(at + 4, 4);
        if (tag == "fmt ")
            formatOk = little(at + 8, 2) == 1 && little(at + 10, 2) == 2 &&
                       little(at + 12, 4) == 44100 && little(at + 22, 2) == 16;
        if (tag == "data") {
            if (!formatOk)
                return std::nullopt;
            std::vector<std::int16_t> samples;
            for (std::size_t i = at + 8; i + 1 < bytes.size() && i < at + 8 + length; i += 2)
                samples.push_back(std::int16_t(little(i, 2)));
            return samples;
        }
        at += 8 + length + (length & 1);
    }
    return std::nullopt;
}

double Loudness(const std::vector<std::int16_t>& samples) {
    double sum = 0.0;
    for (std::int16_t sample : samples)
        sum += std::abs(double(sample));
    return samples.empty() ? 0.0 : sum / double(samples.size());
}

int Peak(const std::vector<std::int16_t>& samples) {
    int peak = 0;
    for (std::int16_t sample : samples)
        peak = std::max(peak, std::abs(int(sample)));
    return peak;
}

class SequencerTest : public AuditionFixture {
protected:
    // Renders a file offline; the samples, or nothing when the soundfont is missing.
    std::optional<std::vector<std::int16_t>> Render(const ByteArray& file,
                                                    double* seconds = nullptr) {
        SynthesizerOptions options;
        options.soundfont = FindSoundfont("");
        if (options.soundfont.empty())
            return std::nullopt;
        const std::string midi = folder.File("render.mid");
        WriteBytes(midi, file);
        options.wavPath = midi + ".wav";
        CSynthesizerSequencer sequencer(options);
        CMidPlay midPlay(sequencer, messages);
        EXPECT_TRUE(midPlay.Load(midi));
        if (seconds)
            *seconds = sequencer.GetRenderedSeconds();
        return ReadWavSamples(options.wavPath);
    }
};

// A format 0 file of one track (events from the first delta-time on), ended at its last event.
ByteArray OneTrackFile(ByteArray track, std::uint16_t division) {
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
    ByteArray file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1};
    AppendBigEndian(file, division, 2);
    file.insert(file.end(), {'M', 'T', 'r', 'k'});
    AppendBigEndian(file, std::uint32_t(track.size()), 4);
    file.insert(file.end(), track.begin(), track.end());
    return file;
}

// At 120 beats a minute and 480 pulses a quarter, 480 pulses are half a second.
TEST(MidiFileTest, AShortTrackCountsTheDelayBeforeADamagedEventButNotOneTheChunkEndsAfter) {
    const std::pair<ByteArray, double> tracks[] = {
        {B({0x00, 0x90, 0x3C, 0x64, 0x83, 0x60, 0xFF, 0x2F, 0x00}), 0.5},
        {B({0x00, 0x90, 0x3C, 0x64, 0x83, 0x60, 0xF4}), 0.5},
        {B({0x00, 0x90, 0x3C, 0x64, 0x83, 0x60}), 0.0},
    };
    for (const auto& [track, seconds] : tracks) {
        const ByteArray file = Cat({T("MThd"), B({0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0}), T("MTrk"),
                                    B({0, 0, 0, int(track.size())}), track});
        std::string problem;
        const auto sequence = ParseMidiFile(file, problem);
        ASSERT_TRUE(sequence) << problem;
        EXPECT_EQ(sequence->duration, seconds) << track.size();
    }
}

// At 120 beats a minute and 480 pulses a quarter a pulse is 44,100 / 960 frames: an organ note
// (program 20) at pulse 90 falls on frame 4,134, early in the ninth 512-frame block. It sounds
// from there, not from the next block, and, held, rings the whole two seconds after it.
TEST_F(SequencerTest, AnEventSoundsFromItsFrameAndAHeldNoteRingsTwoSecondsAfterTheLastEvent) {
    double seconds = 0.0;
    const auto samples =
        Render(OneTrackFile(B({0x00, 0xC0, 19, 0x5A, 0x90, 0x3C, 0x64}), 480), &seconds);
    if (!samples)
        GTEST_SKIP() << "no soundfont installed (timgm6mb-soundfont)";
    const auto first =
        std::find_if(samples->begin(), samples->end(), [](auto s) { return s != 0; });
    const long firstFrame = long(first - samples->begin()) / 2;
    EXPECT_GE(firstFrame, 4134);
    EXPECT_LE(firstFrame, 4134 + 64); // FluidSynth's own step
    EXPECT_GE(seconds, (4134 + 2 * 44100) / 44100.0);
    EXPECT_LE(seconds, (4608 + 2 * 44100 + 512) / 44100.0);
}

// Live on JACK: an organ note held for eight seconds from the start. Stop silences it; Play goes
// on from where it stood and sounds the note again, as the file has no later event that would.
TEST_F(SequencerTest, AResumeAfterAStopSoundsTheHeldNotesAgain) {
    CJackServer server;
    SynthesizerOptions options;
    options.soundfont = FindSoundfont("");
    if (!server.IsRunning() || options.soundfont.empty())
        GTEST_SKIP() << "needs jackd with the dummy backend and a soundfont";
    options.audioDriver = "jack";
    std::mutex mutex;
    float loudest = 0.0f;
    int blocks = 0;
    options.onBuffer = [&](const float* left, const float*, int frames, std::int64_t fileFrame) {
        const std::lock_guard<std::mutex> lock(mutex);
        for (int i = 0; fileFrame >= 0 && i < frames; ++i)
            loudest = std::max(loudest, std::abs(left[i]));
        blocks += fileFrame >= 0;
    };
    auto loudestOfNextBlocks = [&] { // 200 blocks of 64 frames: 0.3 s
        {
            const std::lock_guard<std::mutex> lock(mutex);
            loudest = 0.0f;
            blocks = 0;
        }
        for (int wait = 0; wait < 1000; ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            const std::lock_guard<std::mutex> lock(mutex);
            if (blocks >= 200)
                return loudest;
        }
        return -1.0f;
    };
    const std::string midi = folder.File("held.mid");
    WriteBytes(midi,
               OneTrackFile(
                   B({0x00, 0xC0, 19, 0x00, 0x90, 0x3C, 0x64, 0xBC, 0x00, 0x80, 0x3C, 0x00}), 480));
    CSynthesizerSequencer sequencer(options);
    CMidPlay midPlay(sequencer, messages);
    ASSERT_TRUE(midPlay.Load(midi));
    EXPECT_GT(loudestOfNextBlocks(), 0.01f);
    midPlay.Halt();
    midPlay.Start();
    EXPECT_GT(loudestOfNextBlocks(), 0.01f);
    midPlay.Close();
}

// "GM System On" (F0 7E 7F 09 01 F7) resets the channels: a volume of 0 set before it is gone.
TEST_F(SequencerTest, ASystemExclusiveMessageReachesTheSynthesizerWhole) {
    const auto samples =
        Render(OneTrackFile(B({0x00, 0xB0, 0x07, 0x00, 0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01,
                               0xF7, 0x00, 0x90, 0x3C, 0x64, 0x83, 0x60, 0x80, 0x3C, 0x00}),
                            480));
    if (!samples)
        GTEST_SKIP() << "no soundfont installed (timgm6mb-soundfont)";
    EXPECT_GT(Peak(*samples), 100); // volume 0 would render silence
}

TEST_F(SequencerTest, TheSoundfontIsTheConfiguredOneElseTimGM6mbElseTheFirstSf2) {
    const std::string system = folder.File("sf2");
    std::filesystem::create_directory(system);
    EXPECT_EQ(FindSoundfont("", system), "");
    WriteBytes(system + "/b.sf2", std::string("b"));
    WriteBytes(system + "/a.sf2", std::string("a"));
    WriteBytes(system + "/0.txt", std::string("0"));
    EXPECT_EQ(FindSoundfont("", system), system + "/a.sf2");
    WriteBytes(system + "/TimGM6mb.sf2", std::string("t"));
    EXPECT_EQ(FindSoundfont("", system), system + "/TimGM6mb.sf2");
    EXPECT_EQ(FindSoundfont("/my fonts/x.sf2", system), "/my fonts/x.sf2");
}

TEST_F(SequencerTest, ThePlayersRenderSoundsForAsLongAsTheStylesEvents) {
    const std::string soundfont = FindSoundfont("");
    if (soundfont.empty())
        GTEST_SKIP() << "no soundfont installed (timgm6mb-soundfont)";
    StyleGeneratorOptions style;
    style.seed = 7;
    style.tempoBpm = 180;
    OpenStyle(2, style);
    std::vector<std::vector<std::int16_t>> renders;
    // Loaded at the first open, or in the background beforehand (as the window does): the same.
    for (const bool prepared : {false, true}) {
        SCOPED_TRACE(prepared ? "prepared" : "loaded at the open");
        SynthesizerOptions options;
        options.soundfont = soundfont;
        options.wavPath = folder.File(prepared ? "prepared render.wav" : "render with spaces.wav");
        CSynthesizerSequencer sequencer(options);
        if (prepared)
            sequencer.Prepare();
        CAuditionPlayer player(table, settings, sequencer);
        player.Play();
        ASSERT_TRUE(messages.shown.empty()) << messages.shown[0].text;

        std::string problem;
        const auto sequence = ParseMidiFile(ReadByteArray(AuditionFile()), problem);
        ASSERT_TRUE(sequence) << problem;
        const auto samples = ReadWavSamples(options.wavPath);
        ASSERT_TRUE(samples);
        const double seconds = double(samples->size()) / 2.0 / 44100.0;
        // The events, then at most two seconds for the last notes to ring out (not the style's
        // closing rest), cut where the sound ends; the length told is the file's.
        const double lastEvent = sequence->events.back().seconds;
        ASSERT_LT(lastEvent + 3.0, sequence->duration);
        EXPECT_GE(seconds, lastEvent);
        EXPECT_LE(seconds, lastEvent + 2.0 + 512 / 44100.0);
        EXPECT_EQ(sequencer.GetRenderedSeconds(), seconds);
        EXPECT_GT(Peak(*samples), 1000);
        const std::vector<std::int16_t> end(samples->end() - 2, samples->end());
        EXPECT_GT(Peak(end), 4) << "the silence after the last sound is cut";
        renders.push_back(*samples);
        if (!prepared)
            continue;
        // Play renders again only after a rewind.
        ISequencer& commands = sequencer;
        const std::string kAlias = "MIDPLAY_MIDI"; // the player's
        std::filesystem::remove(options.wavPath);
        EXPECT_EQ(commands.SendCommand("play " + kAlias + " notify"), 0);
        EXPECT_FALSE(std::filesystem::exists(options.wavPath));
        EXPECT_EQ(commands.SendCommand("seek " + kAlias + " to start wait"), 0);
        EXPECT_EQ(commands.SendCommand("play " + kAlias + " notify"), 0);
        EXPECT_TRUE(std::filesystem::exists(options.wavPath));
    }
    EXPECT_EQ(renders[0].size(), renders[1].size());
}

// A one-track file: bank select MSB msb and program 0 on channel 9 (status nibble 8), then a
// kick, a snare and a hi-hat note, a quarter note apart.
ByteArray DrumTrack(std::uint8_t msb) {
    ByteArray track = {0x00, 0xB8, 0x00, msb, 0x00, 0xB8, 0x20, 0x00, 0x00, 0xC8, 0x00};
    for (std::uint8_t note : {36, 38, 42}) {
        const ByteArray on = {0x00, 0x98, note, 0x70, 0x83, 0x60, 0x88, note, 0x00};
        track.insert(track.end(), on.begin(), on.end());
    }
    return OneTrackFile(track, 0x01E0);
}

TEST_F(SequencerTest, BankSelect127MakesChannel9ADrumKit) {
    const std::string soundfont = FindSoundfont("");
    if (soundfont.empty())
        GTEST_SKIP() << "no soundfont installed (timgm6mb-soundfont)";
    std::vector<std::vector<std::int16_t>> renders;
    for (std::uint8_t msb : {127, 0}) {
        const std::string midi = folder.File("drums " + std::to_string(msb) + ".mid");
        WriteBytes(midi, DrumTrack(msb));
        SynthesizerOptions options;
        options.soundfont = soundfont;
        options.wavPath = midi + ".wav";
        CSynthesizerSequencer sequencer(options);
        CMidPlay midPlay(sequencer, messages);
        ASSERT_TRUE(midPlay.Load(midi));
        const auto samples = ReadWavSamples(options.wavPath);
        ASSERT_TRUE(samples);
        renders.push_back(*samples);
    }
    // The piano rings longer; the first seconds hold the same notes.
    const std::size_t common = std::min(renders[0].size(), renders[1].size());
    ASSERT_GT(common, 2u * 44100u);
    renders[0].resize(common);
    renders[1].resize(common);
    EXPECT_GT(Peak(renders[0]), 1000);
    EXPECT_GT(Peak(renders[1]), 1000);
    std::vector<std::int16_t> difference(renders[0].size());
    for (std::size_t i = 0; i < difference.size(); ++i)
        difference[i] = std::int16_t((renders[0][i] - renders[1][i]) / 2);
    // Drums and piano notes share almost nothing: the difference is as loud as the sounds.
    EXPECT_GT(Loudness(difference), 0.3 * Loudness(renders[1]));
}

// What a resume after a stop sounds again: the notes held at the position reached, so that the
// first Play's play, stop, play cuts no note of tick 0.
TEST(EventSchedulerTest, TheNotesHeldWhereAStopCameAreSoundedAgain) {
    CEventScheduler schedule;
    schedule.SetSequence({{{0.0, {0xC0, 5}},
                           {0.0, {0x90, 60, 100}},
                           {0.0, {0x99, 36, 90}},
                           {1.0, {0x80, 60, 0}},
                           {1.0, {0x99, 36, 0}},
                           {1.0, {0x90, 62, 80}}},
                          2.0});
    std::vector<ByteArray> sent;
    schedule.TakeDue(0.5, [&](const CMidiEvent& event) { sent.push_back(event.bytes); });
    EXPECT_EQ(sent.size(), 3u);
    auto notes = [&] {
        std::vector<ByteArray> bytes;
        for (const CMidiEvent& event : schedule.SoundingNotes())
            bytes.push_back(event.bytes);
        return bytes;
    };
    EXPECT_EQ(notes(), (std::vector<ByteArray>{{0x90, 60, 100}, {0x99, 36, 90}}));
    schedule.TakeDue(1.5, [](const CMidiEvent&) {});
    EXPECT_EQ(notes(), (std::vector<ByteArray>{{0x90, 62, 80}}));
    schedule.Rewind();
    EXPECT_TRUE(notes().empty());
    EXPECT_EQ(schedule.NextDue(), 0.0);
}

// Repeating: at the end of the events the schedule starts over, the passes one length apart, the
// last events of a pass before the first of the next; off, or on a file too short to repeat, it
// plays once.
TEST(EventSchedulerTest, RepeatingStartsOverAtTheEndUntilSetOff) {
    const CMidiSequence sequence{{{0.0, {0x90, 60, 100}}, {1.0, {0x80, 60, 0}}}, 1.0};
    CEventScheduler schedule;
    schedule.SetSequence(sequence);
    schedule.SetRepeat(true);
    std::vector<std::pair<double, ByteArray>> sent;
    double at = 0.0;
    auto take = [&](double until) {
        schedule.TakeDue(until, [&](const CMidiEvent& event) {
            sent.push_back({at, event.bytes});
        });
    };
    for (at = 0.25; at <= 2.5; at += 0.5) // due at 0, 1 and 1, 2 and 2
        take(at);
    const ByteArray on = {0x90, 60, 100}, off = {0x80, 60, 0};
    EXPECT_EQ(sent, (std::vector<std::pair<double, ByteArray>>{
                        {0.25, on}, {1.25, off}, {1.25, on}, {2.25, off}, {2.25, on}}));
    EXPECT_FALSE(schedule.Finished());
    EXPECT_EQ(schedule.NextDue(), 3.0);
    schedule.SetRepeat(false);
    take(at = 9.0);
    EXPECT_EQ(sent.back(), (std::pair<double, ByteArray>{9.0, off}));
    EXPECT_TRUE(schedule.Finished());
    EXPECT_EQ(schedule.NextDue(), 3.0);
    schedule.Rewind();
    EXPECT_EQ(schedule.NextDue(), 0.0);

    CEventScheduler once; // plays once unless set to repeat
    once.SetSequence(sequence);
    once.TakeDue(5.0, [](const CMidiEvent&) {});
    EXPECT_TRUE(once.Finished());

    schedule.SetSequence({{{0.0, on}, {0.04, off}}, 0.05}); // shorter than kShortestRepeat
    schedule.SetRepeat(true);
    sent.clear();
    take(5.0);
    EXPECT_EQ(sent.size(), 2u);
    EXPECT_TRUE(schedule.Finished());
    schedule.SetSequence({{{0.0, on}, {0.05, off}}, 0.1}); // exactly kShortestRepeat: repeats
    sent.clear();
    take(0.38); // passes from 0, 0.1, 0.2 and 0.3
    EXPECT_EQ(sent.size(), 8u);
}

// One track at 1920 pulses a quarter: bank 0/0 and program 67 on channel 6, note 36 held 600
// pulses every 2,500 to 3,900 pulses, expression ramps every 120 pulses: FluidSynth's own MIDI
// file player was seen to hang on such styles.
ByteArray SaxophoneTrack() {
    std::vector<std::pair<std::uint32_t, ByteArray>> events = {
        {0, {0xFF, 0x51, 0x03, 0x06, 0x1A, 0x80}},
        {0, {0xB6, 0x00, 0x00}},
        {0, {0xB6, 0x20, 0x00}},
        {0, {0xC6, 67}}};
    const std::uint32_t end = 1920 * 4 * 8;
    for (std::uint32_t tick = 0, step = 0; tick < end; tick += 2500 + (step++ * 467) % 1400) {
        events.push_back({tick, {0x96, 36, 100}});
        events.push_back({tick + 600, {0x86, 36, 0}});
    }
    for (std::uint32_t tick = 0; tick < end; tick += 120)
        events.push_back({tick, {0xB6, 11, std::uint8_t(tick / 120 * 8 % 128)}});
    std::stable_sort(events.begin(), events.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    ByteArray track;
    std::uint32_t last = 0;
    for (const auto& [tick, bytes] : events) {
        AppendVariableLength(track, tick - last);
        track.insert(track.end(), bytes.begin(), bytes.end());
        last = tick;
    }
    return OneTrackFile(track, 0x0780);
}

// The style renders to its end; a synthesizer that stops rendering (here: held up in the block
// hook) is given up within its stall time, with the MidPlay message, and nothing claims a length.
TEST_F(SequencerTest, ARenderEndsWithTheMusicOrGivesUpOnAStalledSynthesizer) {
    const std::string soundfont = FindSoundfont("");
    if (soundfont.empty())
        GTEST_SKIP() << "no soundfont installed (timgm6mb-soundfont)";
    const std::string midi = folder.File("saxophone.mid");
    WriteBytes(midi, SaxophoneTrack());
    auto hold = std::make_shared<std::promise<void>>();
    for (const bool stalls : {false, true}) {
        SCOPED_TRACE(stalls ? "stalls" : "renders");
        messages.shown.clear();
        SynthesizerOptions options;
        options.soundfont = soundfont;
        options.wavPath = midi + ".wav";
        options.stallSeconds = 0.5;
        if (stalls)
            options.onBuffer = [held = hold->get_future().share()](auto...) { held.wait(); };
        CSynthesizerSequencer sequencer(options);
        CMidPlay midPlay(sequencer, messages);
        midPlay.SetRepeat(true); // a render plays the file once all the same
        const auto begin = std::chrono::steady_clock::now();
        midPlay.Load(midi);
        if (!stalls) {
            EXPECT_TRUE(messages.shown.empty());
            EXPECT_NEAR(sequencer.GetRenderedSeconds(), 8 * 4 * 0.4, 2.5);
            continue;
        }
        EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(2));
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text,
                  "Couldn't play music(the synthesizer stopped making progress)");
        EXPECT_EQ(sequencer.GetRenderedSeconds(), 0.0);
    }
    hold->set_value(); // the given-up render thread may end now
}

// A sequencer runs inside the audio module, whose exceptions a program with its own C++ runtime
// cannot catch: what a command throws makes it fail instead.
TEST_F(SequencerTest, ACommandThatThrowsFailsInsteadOfLeavingTheSequencer) {
    struct CThrowingSequencer : CCommandSequencer {
        SequencerError OpenFile(const std::string&, const ByteArray&,
                                const CMidiSequence&) override {
            throw std::bad_alloc();
        }
        SequencerError Rewind() override { return SequencerError::None; }
        SequencerError Play() override { return SequencerError::None; }
        SequencerError Stop() override { return SequencerError::None; }
        void CloseFile() override {}
    } sequencer;
    const std::string path = folder.File("empty track.mid");
    WriteBytes(path, std::string("MThd\0\0\0\6\0\0\0\1\0\x60MTrk\0\0\0\4\0\xFF\x2F\0", 26));

    EXPECT_EQ(sequencer.SendCommand("open sequencer!" + path + " alias song wait"),
              int(SequencerError::Failed));
    EXPECT_EQ(sequencer.GetErrorText(int(SequencerError::Failed)), "the sequencer failed");
    // Success and numbers beyond the last error are no errors, with no text.
    EXPECT_EQ(sequencer.GetErrorText(int(SequencerError::None)), std::nullopt);
    EXPECT_EQ(sequencer.GetErrorText(int(SequencerError::Stalled) + 1), std::nullopt);
}

TEST_F(SequencerTest, WhatCannotPlayIsToldThroughMidPlay) {
    OpenStyle(1);
    WriteBytes(folder.File("not midi.mid"), std::string("RIFF0000WAVEfmt "));
    std::filesystem::create_directory(folder.File("a folder.mid"));
    struct Case {
        const char* name;
        std::function<std::unique_ptr<ISequencer>()> make;
        std::string path;
        std::string text;
    };
    const std::string missing = folder.File("missing.mid");
    const std::vector<Case> cases = {
        {"no soundfont",
         [] { return std::make_unique<CSynthesizerSequencer>(SynthesizerOptions{}); },
         AuditionFile(), "Couldn't load music file(no soundfont found)"},
        {"a soundfont that is not one",
         [&] {
             SynthesizerOptions options;
             options.soundfont = folder.File("not midi.mid");
             return std::make_unique<CSynthesizerSequencer>(options);
         },
         AuditionFile(),
         "Couldn't load music file(the soundfont " + folder.File("not midi.mid") +
             " could not be loaded"},
        {"no soundfont, prepared",
         [] {
             auto sequencer = std::make_unique<CSynthesizerSequencer>(SynthesizerOptions{});
             sequencer->Prepare();
             return sequencer;
         },
         AuditionFile(), "Couldn't load music file(no soundfont found)"},
        {"a soundfont that is not one, prepared",
         [&] {
             SynthesizerOptions options;
             options.soundfont = folder.File("not midi.mid");
             auto sequencer = std::make_unique<CSynthesizerSequencer>(options);
             sequencer->Prepare();
             return sequencer;
         },
         AuditionFile(),
         "Couldn't load music file(the soundfont " + folder.File("not midi.mid") +
             " could not be loaded"},
        {"a FIFO soundfont, prepared: refused, never waited on",
         [&] {
             SynthesizerOptions options;
             options.soundfont = folder.File("fifo.sf2");
             auto sequencer = std::make_unique<CSynthesizerSequencer>(options);
             sequencer->Prepare();
             return sequencer;
         },
         AuditionFile(),
         "Couldn't load music file(the soundfont " + folder.File("fifo.sf2") +
             " is not a regular file)"},
        {"a missing file", [] { return std::make_unique<CPortSequencer>("any"); }, missing,
         "Couldn't load music file(cannot read " + missing + ": No such file or directory)"},
        {"a folder", [] { return std::make_unique<CPortSequencer>("any"); },
         folder.File("a folder.mid"),
         "Couldn't load music file(" + folder.File("a folder.mid") + " is not a regular file)"},
        {"not a MIDI file", [] { return std::make_unique<CPortSequencer>("any"); },
         folder.File("not midi.mid"),
         "Couldn't load music file(" + folder.File("not midi.mid") + " is not a MIDI file)"},
        {"a missing port", [] { return std::make_unique<CPortSequencer>("Korvane Test Keyboard"); },
         AuditionFile(),
         "Couldn't load music file(no MIDI output port named Korvane Test Keyboard)"},
    };
    std::filesystem::create_directory(settings.auditionFolder);
    ASSERT_EQ(WriteWork(table, AuditionFile()), WriteResult::Ok);
    ASSERT_EQ(mkfifo(folder.File("fifo.sf2").c_str(), 0600), 0);
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        messages.shown.clear();
        auto sequencer = test.make();
        CMidPlay midPlay(*sequencer, messages);
        EXPECT_FALSE(midPlay.Load(test.path));
        ASSERT_EQ(messages.shown.size(), 1u);
        // FluidSynth may add its own detail after the reason.
        EXPECT_EQ(messages.shown[0].text.substr(0, test.text.size()), test.text);
        EXPECT_EQ(messages.shown[0].caption, "MidPlay");
        EXPECT_FALSE(midPlay.IsOpen());
    }
}

// The window's sequencer follows the settings Preferences changes: prepared at start on the
// synthesizer (whose soundfont here is not one), then, after the output changed, a port.
TEST_F(SequencerTest, TheSettingsSequencerUsesChangedSettingsAtTheNextOpen) {
    OpenStyle(1);
    WriteBytes(folder.File("bad.sf2"), std::string("RIFF0000sfbk"));
    settings.auditionOutput = kBuiltInSynthesizer;
    settings.soundfont = folder.File("bad.sf2");
    CSettingsSequencer sequencer(settings);
    sequencer.Prepare();
    CAuditionPlayer player(table, settings, sequencer);
    const std::vector<std::string> expected = {
        "Couldn't load music file(the soundfont " + folder.File("bad.sf2") + " could not be loaded",
        "Couldn't load music file(no MIDI output port named Korvane Missing Port)",
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        messages.shown.clear();
        if (i == 1) {
            settings.auditionOutput = "Korvane Missing Port";
            player.Stop();
        }
        player.Play();
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text.substr(0, expected[i].size()), expected[i]);
    }
}

// Only an open makes a sequencer: a Stop before the first Play loads no audio module, so nothing
// holds the text of its failure.
TEST_F(SequencerTest, TheSettingsSequencerMakesNothingBeforeAnOpen) {
    settings.auditionOutput = kBuiltInSynthesizer;
    CSettingsSequencer sequencer(settings);
    EXPECT_EQ(sequencer.SendCommand("stop korvane"), int(SequencerError::NotOpen));
    EXPECT_EQ(sequencer.GetErrorText(int(SequencerError::NotOpen)), std::nullopt);
}

// How late this machine wakes a sleeping thread while it lives: a port's events can be no more
// punctual than the thread that sends them, so a timing check allows 10 ms beyond that.
class CWakeLatency {
public:
    CWakeLatency()
        : m_probe([this] {
              while (!m_stop) {
                  const auto before = std::chrono::steady_clock::now();
                  std::this_thread::sleep_for(std::chrono::milliseconds(2));
                  const double late =
                      std::chrono::duration<double>(std::chrono::steady_clock::now() - before)
                          .count() -
                      0.002;
                  m_worst = std::max(m_worst.load(), late);
              }
          }) {}
    ~CWakeLatency() {
        m_stop = true;
        m_probe.join();
    }
    double Tolerance() const { return 0.010 + m_worst; }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<double> m_worst{0.0};
    std::thread m_probe;
};

TEST_F(SequencerTest, APortReceivesTheStylesEventsInOrderAndInTime) {
    CJackServer server;
    if (!server.IsRunning())
        GTEST_SKIP() << "jackd with the dummy backend could not be started";
    StyleGeneratorOptions style;
    style.seed = 3;
    style.tempoBpm = 180;
    OpenStyle(2, style);

    std::optional<CJackRecorder> input;
    std::vector<Arrival> arrivals; // the last run's
    // The silence every stop sends, taken out of the stream (the style itself has none).
    auto isSilence = [](const ByteArray& bytes) {
        return bytes.size() == 3 && (bytes[0] & 0xF0) == 0xB0 &&
               (bytes[1] == 120 || bytes[1] == 123) && bytes[2] == 0;
    };
    auto sounding = [&] {
        const std::vector<Arrival> got = input->Arrivals();
        return std::size_t(std::count_if(got.begin(), got.end(),
                                         [&](const Arrival& a) { return !isSilence(a.bytes); }));
    };
    // What has come through JACK is waited for, however long a loaded machine takes: the stop's
    // last message (All Sound Off on channel 16) comes after everything sent before it.
    const ByteArray last = {0xBF, 120, 0};
    std::atomic<int> xruns{0};
    auto waitFor = [&](auto done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!done() && xruns == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    };
    auto endsWithStop = [&] {
        const std::vector<Arrival> got = input->Arrivals();
        return !got.empty() && got.back().bytes == last;
    };
    // A cycle the server missed (an xrun: a loaded machine, and no real-time scheduling here)
    // may drop what passed in it, so a run with one tells nothing of the port's order and time:
    // it is run again, up to five times, with a recorder and a player of its own (the server may
    // have given up on a client that missed its cycles).
    jack_client_t* watcher = jack_client_open("xruns", JackNoStartServer, nullptr);
    ASSERT_NE(watcher, nullptr);
    jack_set_xrun_callback(
        watcher,
        [](void* count) {
            ++*static_cast<std::atomic<int>*>(count);
            return 0;
        },
        &xruns);
    jack_activate(watcher);
    std::optional<CWakeLatency> wake;
    std::size_t beforePause = 0;
    std::optional<CMidiSequence> sequence;
    for (int attempt = 0; attempt == 0 || (xruns > 0 && attempt < 5); ++attempt) {
        if (attempt > 0)
            std::fprintf(stderr, "JACK missed %d cycles: the run goes again\n", xruns.load());
        messages.shown.clear();
        xruns = 0;
        wake.reset();
        wake.emplace();
        input.reset();
        input.emplace();
        ASSERT_TRUE(input->IsPlugged());
        CPortSequencer sequencer("KorvaneRecorder:record");
        CAuditionPlayer player(table, settings, sequencer);
        // Play, Pause a few events in, Play: the style again from its start.
        player.Play();
        waitFor([&] { return sounding() >= 5; });
        player.Pause();
        waitFor(endsWithStop);
        beforePause = sounding();
        player.Play();
        if (xruns > 0)
            continue;
        ASSERT_TRUE(messages.shown.empty()) << messages.shown[0].text;
        std::string problem;
        sequence = ParseMidiFile(ReadByteArray(AuditionFile()), problem);
        ASSERT_TRUE(sequence) << problem;
        const auto deadline = std::chrono::steady_clock::now() +
                              std::chrono::duration<double>(sequence->duration + 5);
        while (sequencer.IsPlaying() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_FALSE(sequencer.IsPlaying()) << "playback did not end";
        player.Stop();
        waitFor(
            [&] { return sounding() >= beforePause + sequence->events.size() && endsWithStop(); });
        arrivals = input->Arrivals();
        input.reset();
    }
    jack_client_close(watcher);
    for (const CMidiEvent& event : sequence->events)
        ASSERT_FALSE(isSilence(event.bytes));
    ASSERT_GE(arrivals.size(), 32u);
    const std::vector<Arrival> tail(arrivals.end() - 32, arrivals.end());
    std::vector<Arrival> received;
    for (const Arrival& arrival : arrivals) {
        if (!isSilence(arrival.bytes))
            received.push_back(arrival);
    }
    const std::size_t expected = sequence->events.size();
    ASSERT_EQ(received.size(), beforePause + expected);
    received.erase(received.begin(), received.begin() + std::ptrdiff_t(beforePause));
    // Events of one instant may pass JACK in either order (two note-offs, say); between instants
    // the order must hold. Within each instant both lists are put in one order.
    std::vector<CMidiEvent> events = sequence->events;
    for (std::size_t begin = 0, end = 0; begin < expected; begin = end) {
        while (end < expected && events[end].seconds == events[begin].seconds)
            ++end;
        auto byBytes = [](const auto& a, const auto& b) { return a.bytes < b.bytes; };
        std::sort(events.begin() + std::ptrdiff_t(begin), events.begin() + std::ptrdiff_t(end),
                  byBytes);
        std::sort(received.begin() + std::ptrdiff_t(begin), received.begin() + std::ptrdiff_t(end),
                  byBytes);
    }
    // Each event's lateness against the file's time; a constant latency of the JACK chain is
    // taken out (the median), what is left is how far the timing strays.
    std::vector<double> lateness;
    for (std::size_t i = 0; i < expected; ++i) {
        ASSERT_EQ(received[i].bytes, events[i].bytes) << "event " << i;
        lateness.push_back(received[i].seconds - events[i].seconds);
    }
    std::vector<double> sorted = lateness;
    std::nth_element(sorted.begin(), sorted.begin() + std::ptrdiff_t(sorted.size() / 2),
                     sorted.end());
    const double latency = sorted[sorted.size() / 2];
    double worst = 0.0;
    std::size_t worstEvent = 0;
    for (std::size_t i = 0; i < lateness.size(); ++i) {
        if (std::abs(lateness[i] - latency) > worst) {
            worst = std::abs(lateness[i] - latency);
            worstEvent = i;
        }
    }
    EXPECT_LT(worst, wake->Tolerance())
        << "event " << worstEvent << " of " << expected << " at " << events[worstEvent].seconds
        << " s arrived " << worst * 1000 << " ms off its time";
    // Stop: All Notes Off and All Sound Off on every channel.
    for (std::uint8_t channel = 0; channel < 16; ++channel) {
        EXPECT_EQ(tail[2 * channel].bytes, (ByteArray{std::uint8_t(0xB0 | channel), 123, 0}));
        EXPECT_EQ(tail[2 * channel + 1].bytes, (ByteArray{std::uint8_t(0xB0 | channel), 120, 0}));
    }
}

TEST_F(SequencerTest, APortThatGoesAwayIsNamedAtTheNextPlay) {
    CJackServer server;
    if (!server.IsRunning())
        GTEST_SKIP() << "jackd with the dummy backend could not be started";
    OpenStyle(1);
    CJackRecorder input;
    ASSERT_TRUE(input.IsPlugged());
    CPortSequencer sequencer("KorvaneRecorder:record");
    CAuditionPlayer player(table, settings, sequencer);
    const CWakeLatency wake;
    player.Play();
    player.Pause();
    ASSERT_TRUE(messages.shown.empty()) << messages.shown[0].text;
    input.Unplug(); // the keyboard is unplugged
    player.Play();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "Couldn't rewind music(the MIDI output port KorvaneRecorder:record has gone)");
    player.Stop();
    player.Play(); // loads afresh: the port is not there at all
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[1].text,
              "Couldn't load music file(no MIDI output port named KorvaneRecorder:record)");
    EXPECT_FALSE(sequencer.IsPlaying());
}

// A port named exactly is taken before one listed ahead of it whose name holds the setting.
TEST_F(SequencerTest, APortNamedExactlyWinsOverOneThatHoldsTheName) {
    CJackServer server;
    if (!server.IsRunning())
        GTEST_SKIP() << "jackd with the dummy backend could not be started";
    const std::string midi = folder.File("drums.mid");
    WriteBytes(midi, DrumTrack(127));
    const CJackRecorder holder("OldKorvaneRecorder");
    const CJackRecorder input;
    ASSERT_TRUE(holder.IsPlugged() && input.IsPlugged());
    CPortSequencer sequencer("KorvaneRecorder:record");
    CMidPlay midPlay(sequencer, messages);
    ASSERT_TRUE(midPlay.Load(midi));
    EXPECT_EQ(sequencer.GetOpenedName(), "KorvaneRecorder:record");
}

// A port found by part of its name stays open from one file to the next: no new client comes
// to JACK (and no reconnection delays the next file's first events).
TEST_F(SequencerTest, APortFoundByPartOfItsNameIsKeptForTheNextFile) {
    CJackServer server;
    if (!server.IsRunning())
        GTEST_SKIP() << "jackd with the dummy backend could not be started";
    const std::string midi = folder.File("drums.mid");
    WriteBytes(midi, DrumTrack(127));
    const CJackRecorder input;
    ASSERT_TRUE(input.IsPlugged());
    jack_client_t* watcher = jack_client_open("watcher", JackNoStartServer, nullptr);
    ASSERT_NE(watcher, nullptr);
    std::atomic<int> clients{0};
    jack_set_client_registration_callback(
        watcher,
        [](const char*, int registered, void* count) {
            *static_cast<std::atomic<int>*>(count) += registered;
        },
        &clients);
    jack_activate(watcher);
    CPortSequencer sequencer("record");
    CMidPlay midPlay(sequencer, messages);
    ASSERT_TRUE(midPlay.Load(midi));
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // the callbacks come late
    const int afterFirst = clients;
    ASSERT_TRUE(midPlay.Load(midi));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(clients, afterFirst);
    EXPECT_EQ(sequencer.GetOpenedName(), "KorvaneRecorder:record");
    midPlay.Close();
    jack_client_close(watcher);
}

// Play This Section on a port: at the end of the file its events start over, one file length
// after the first pass, until Stop.
TEST_F(SequencerTest, APortRepeatsTheFileUntilStopped) {
    CJackServer server;
    if (!server.IsRunning())
        GTEST_SKIP() << "jackd with the dummy backend could not be started";
    const std::string midi = folder.File("drums.mid");
    WriteBytes(midi, DrumTrack(127));
    std::string problem;
    const auto sequence = ParseMidiFile(ReadByteArray(midi), problem);
    ASSERT_TRUE(sequence) << problem;
    const CJackRecorder input;
    ASSERT_TRUE(input.IsPlugged());
    CPortSequencer sequencer("KorvaneRecorder:record");
    CMidPlay midPlay(sequencer, messages);
    midPlay.SetRepeat(true);
    const CWakeLatency wake;
    ASSERT_TRUE(midPlay.Load(midi)) << (messages.shown.empty() ? "" : messages.shown.back().text);
    const std::size_t count = sequence->events.size();
    auto received = [&] { return input.Arrivals(); };
    for (int wait = 0; wait < 300 && received().size() < 2 * count + 1; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(sequencer.IsPlaying());
    midPlay.Halt();
    EXPECT_FALSE(sequencer.IsPlaying());
    const std::vector<Arrival> got = received();
    ASSERT_GT(got.size(), 2 * count);
    // Two whole passes (the last events of one and the first of the next share an instant, which
    // JACK may pass in either order), then the third begins.
    std::vector<ByteArray> twice, expected;
    for (std::size_t i = 0; i < 2 * count; ++i) {
        twice.push_back(got[i].bytes);
        expected.push_back(sequence->events[i % count].bytes);
    }
    std::sort(twice.begin(), twice.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(twice, expected);
    auto kickAt = [&](std::size_t pass) {
        std::size_t seen = 0;
        for (const Arrival& arrival : got) {
            if (arrival.bytes == ByteArray{0x98, 36, 0x70} && seen++ == pass)
                return arrival.seconds;
        }
        return -1.0;
    };
    EXPECT_NEAR(kickAt(1) - kickAt(0), sequence->duration, wake.Tolerance());
}

// JACK's process thread may be in the callback at any moment until the client is deactivated.
TEST_F(SequencerTest, APortsClientFreesItsRingOnlyWhenItsCallbackCanNoLongerRun) {
    CJackServer server;
    if (!server.IsRunning())
        GTEST_SKIP() << "jackd with the dummy backend could not be started";
    const std::string midi = folder.File("drums.mid");
    WriteBytes(midi, DrumTrack(127));
    const CJackRecorder input;
    ASSERT_TRUE(input.IsPlugged());
    auto sequencer = std::make_unique<CPortSequencer>("KorvaneRecorder:record");
    {
        CMidPlay midPlay(*sequencer, messages);
        ASSERT_TRUE(midPlay.Load(midi));
        midPlay.Halt();
    }
    SetJackCycleHook([] { g_callbackRan = true; });
    g_callbackRan = false;
    for (int wait = 0; wait < 500 && !g_callbackRan; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(g_callbackRan) << "the port's callback did not run";
    g_watchRingFree = true;
    sequencer.reset();
    SetJackCycleHook(nullptr);
    EXPECT_FALSE(g_watchRingFree) << "the port's ring was not freed";
    EXPECT_FALSE(g_ranAtRingFree)
        << "JACK still called the port's callback when its ring was freed";
}

// A test that crashes takes its server with it. The orphaned server is adopted by this process
// (a subreaper), so that its end can be waited for.
TEST(JackServerTest, AServerEndsWithTheTestThatStartedItEvenWhenItCrashes) {
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    const pid_t test = fork();
    if (test == 0) {
        CJackServer server;
        const pid_t pid = server.IsRunning() ? server.GetPid() : -1;
        [[maybe_unused]] const auto written = write(pipe[1], &pid, sizeof pid);
        raise(SIGKILL);
    }
    close(pipe[1]);
    pid_t server = -1;
    ASSERT_EQ(read(pipe[0], &server, sizeof server), ssize_t(sizeof server));
    close(pipe[0]);
    waitpid(test, nullptr, 0);
    if (server <= 0)
        GTEST_SKIP() << "jackd with the dummy backend could not be started";
    int status = 0;
    pid_t ended = 0;
    for (int wait = 0; wait < 100 && ended == 0; ++wait) {
        ended = waitpid(server, &status, WNOHANG);
        if (ended == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (ended == 0) {
        kill(server, SIGKILL);
        waitpid(server, nullptr, 0);
    }
    EXPECT_EQ(ended, server) << "jackd outlived the test that started it";
}

} // namespace
} // namespace korvane::testing
