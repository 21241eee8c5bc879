// The built-in synthesizer's rules that need no audio device: a stand-in audio driver that the
// test runs block by block, renders that must sound, and the reading of damaged events.

#include "audition/MidPlay.h"
#include "audition/MidiFile.h"
#include "audition/RenderedWav.h"
#include "audition/Soundfont.h"
#include "audition/SynthesizerSequencer.h"
#include "platform/ThreadClock.h"
#include "support/ScriptedDialogs.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace korvane::testing {
namespace {

// A one-track file at 96 pulses a quarter note (0.5 s a quarter), track bytes as given.
ByteArray OneTrack(const ByteArray& track) {
    ByteArray file = {'M', 'T', 'h', 'd', 0,   0,   0,   6, 0, 0, 0,
                      1,   0,   96,  'M', 'T', 'r', 'k', 0, 0, 0, std::uint8_t(track.size())};
    file.insert(file.end(), track.begin(), track.end());
    return file;
}

// A CC 11 whose value is EE: the message is stepped over and the note-off after it still plays.
TEST(MidiFileTest, AChannelMessageWithADataByteOf80OrMoreIsSteppedOver) {
    const ByteArray file = OneTrack({0x00, 0x90, 0x3C, 0x64, 0x00, 0xBB, 0x0B, 0xEE, 0x60, 0x80,
                                     0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00});
    std::string problem;
    const auto sequence = ParseMidiFile(file, problem);
    ASSERT_TRUE(sequence) << problem;
    const std::vector<CMidiEvent> expected = {{0.0, {0x90, 0x3C, 0x64}}, {0.5, {0x80, 0x3C, 0x00}}};
    EXPECT_EQ(sequence->events, expected);
    EXPECT_EQ(sequence->duration, 0.5);
}

// Middle C for two seconds on channel 1, loud.
const ByteArray kLongNote = {0x00, 0xC0, 0x00, 0x00, 0x90, 0x3C, 0x7F, 0x83,
                             0x00, 0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00};

class SynthesizerRulesTest : public ::testing::Test {
protected:
    void SetUp() override {
        soundfont = FindSoundfont("");
        if (soundfont.empty())
            GTEST_SKIP() << "no soundfont installed (timgm6mb-soundfont)";
    }
    std::string WriteMidi(const ByteArray& track) {
        const std::string path = folder.File("song.mid");
        WriteBytes(path, OneTrack(track));
        return path;
    }
    std::string soundfont;
    CTemporaryFolder folder;
    CScriptedMessageBox messages;
};

// The audio stand-in: the test renders each block; releasing it waits, as deleting a driver
// waits for its audio thread, until the test lets it go.
struct StandInAudio {
    std::function<void(int, float*, float*)> block;
    std::promise<void> releasing;
    std::shared_future<void> mayEnd;
    std::promise<void> released;
};

TEST_F(SynthesizerRulesTest, PlayReturnsAtOnceAndAStalledSynthesizerIsSilencedAndReleased) {
    auto audio = std::make_shared<StandInAudio>();
    std::promise<void> letGo;
    audio->mayEnd = letGo.get_future().share();
    SynthesizerOptions options;
    options.soundfont = soundfont;
    options.stallSeconds = 0.5;
    options.startAudio = [audio](std::function<void(int, float*, float*)> block) {
        audio->block = std::move(block);
        return std::shared_ptr<void>(nullptr, [audio](void*) {
            audio->releasing.set_value();
            audio->mayEnd.wait();
            audio->released.set_value();
        });
    };
    CSynthesizerSequencer sequencer(options);
    CMidPlay midPlay(sequencer, messages);
    std::vector<float> left(512), right(512);
    auto loudest = [&] {
        audio->block(512, left.data(), right.data());
        return *std::max_element(left.begin(), left.end());
    };

    // No block has come yet: the play is handed over, not waited for.
    ASSERT_TRUE(midPlay.Load(WriteMidi(kLongNote)));
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_TRUE(midPlay.Start());
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(150));
    float peak = 0.0f;
    for (int i = 0; i < 20; ++i)
        peak = std::max(peak, loudest());
    EXPECT_GT(peak, 0.01f);

    // The audio stops coming for longer than the stall time: the next command gives up.
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    EXPECT_FALSE(midPlay.Halt());
    auto releasing = audio->releasing.get_future();
    ASSERT_EQ(releasing.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    // The audio comes back while the synthesizer is being released: silence, note or not.
    EXPECT_EQ(loudest(), 0.0f);
    letGo.set_value();
    EXPECT_EQ(audio->released.get_future().wait_for(std::chrono::seconds(5)),
              std::future_status::ready);
}

// Notes that made no sound (here: channel volume 0) fail the render, naming the soundfont.
// An audio driver that never asks for a block takes no command; the hand-over ring holds 64, and
// the command it cannot hold gives the synthesizer up with a message, long before the stall time.
TEST_F(SynthesizerRulesTest, ACommandTheRingCannotHoldGivesTheSynthesizerUp) {
    SynthesizerOptions options;
    options.soundfont = soundfont;
    options.stallSeconds = 60;
    options.startAudio = [](std::function<void(int, float*, float*)>) {
        return std::shared_ptr<void>();
    };
    CSynthesizerSequencer sequencer(options);
    CMidPlay midPlay(sequencer, messages);
    ASSERT_TRUE(midPlay.Load(WriteMidi(kLongNote)));
    int handed = 1;
    while (handed < 100 && midPlay.Start() && midPlay.Halt())
        handed += 2;
    EXPECT_LE(handed, 65);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "Couldn't play music(the synthesizer stopped making progress)");
}

TEST_F(SynthesizerRulesTest, ARenderWhoseNotesMadeNoSoundFails) {
    ByteArray silent = {0x00, 0xB0, 0x07, 0x00};
    silent.insert(silent.end(), kLongNote.begin(), kLongNote.end());
    SynthesizerOptions options;
    options.soundfont = soundfont;
    options.wavPath = folder.File("render.wav");
    CSynthesizerSequencer sequencer(options);
    CMidPlay midPlay(sequencer, messages);
    midPlay.Load(WriteMidi(silent));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Couldn't play music(the soundfont " + soundfont +
                                          " made no sound for the style's notes)");
    EXPECT_EQ(sequencer.GetRenderedSeconds(), 0.0);
}

// A render that is slow (a block takes longer than the stall time, working all along) is waited
// for: only a synthesizer that makes no progress at all is given up.
TEST_F(SynthesizerRulesTest, ASlowRenderIsNotTakenForAStalledOne) {
    SynthesizerOptions options;
    options.soundfont = soundfont;
    options.wavPath = folder.File("render.wav");
    options.stallSeconds = 0.2;
    options.onBuffer = [blocks = std::make_shared<std::atomic<int>>(0)](auto...) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
        while (++*blocks <= 2 && std::chrono::steady_clock::now() < end)
            --*blocks; // busy for half a second in each of the first two blocks
    };
    CSynthesizerSequencer sequencer(options);
    CMidPlay midPlay(sequencer, messages);
    midPlay.Load(WriteMidi(kLongNote));
    EXPECT_EQ(messages.shown.size(), 0u) << messages.shown[0].text;
    EXPECT_GT(sequencer.GetRenderedSeconds(), 2.0);
}

// A file without notes renders its silence, which is no failure.
TEST_F(SynthesizerRulesTest, ARenderWithoutNotesIsNoFailure) {
    SynthesizerOptions options;
    options.soundfont = soundfont;
    options.wavPath = folder.File("render.wav");
    CSynthesizerSequencer sequencer(options);
    CMidPlay midPlay(sequencer, messages);
    EXPECT_TRUE(midPlay.Load(WriteMidi({0x00, 0xC0, 0x00, 0x83, 0x00, 0xFF, 0x2F, 0x00})));
    EXPECT_TRUE(messages.shown.empty()) << messages.shown[0].text;
}

// A thread's clock moves while the thread works; the clock of no thread reads -1.
TEST(ThreadClockTest, MovesWhileItsThreadWorksAndReadsNothingWithoutOne) {
    EXPECT_EQ(CThreadClock().Nanoseconds(), -1);
    std::atomic<bool> stop{false};
    std::thread busy([&stop] {
        while (!stop) {
        }
    });
    const CThreadClock clock(busy);
    const std::int64_t first = clock.Nanoseconds();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::int64_t later = clock.Nanoseconds();
    stop = true;
    busy.join();
    EXPECT_GE(first, 0);
    EXPECT_GT(later, first);
}

// What the libraries under FluidSynth log about a damaged soundfont reaches no terminal.
TEST_F(SynthesizerRulesTest, ADamagedSoundfontIsToldOnlyThroughMidPlay) {
    SynthesizerOptions options;
    options.soundfont = folder.File("damaged.sf2");
    WriteBytes(options.soundfont, std::string("RIFF\x10\0\0\0sfbkLIST\x04\0\0\0INFO", 24));
    options.wavPath = folder.File("render.wav");
    CSynthesizerSequencer sequencer(options);
    CMidPlay midPlay(sequencer, messages);
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(midPlay.Load(WriteMidi(kLongNote)));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

// The render is read back whole and checked before it replaces the file the user named.
TEST(RenderedWavTest, OnlyACompleteRenderReplacesTheOutput) {
    CTemporaryFolder folder;
    const std::string out = folder.File("keep.wav");
    WriteBytes(out, std::string("the old render"));
    // 44-byte header and one frame: 0.0000226757 s.
    std::string wav("RIFF\x28\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x44\xAC\0\0\x10\xB1\x02\0"
                    "\x04\0\x10\0data\x04\0\0\0\x01\x02\x03\x04",
                    48);
    const std::string render = folder.File("render.wav");
    WriteBytes(render, wav.substr(0, 46));
    EXPECT_EQ(KeepRenderedWav(render, out, 1 / 44100.0), "the render " + render + " is incomplete");
    EXPECT_EQ(KeepRenderedWav(folder.File("gone.wav"), out, 1 / 44100.0),
              "cannot read " + folder.File("gone.wav") + ": No such file or directory");
    EXPECT_EQ(ReadBytes(out), "the old render");
    WriteBytes(render, wav.substr(0, 40) + std::string(4, '\0') + wav.substr(44)); // no length
    EXPECT_EQ(KeepRenderedWav(render, out, 1 / 44100.0), "the render " + render + " is incomplete");
    WriteBytes(render, wav);
    EXPECT_EQ(KeepRenderedWav(render, out, 1 / 44100.0), std::nullopt);
    EXPECT_EQ(ReadBytes(out), wav);
}

} // namespace
} // namespace korvane::testing
