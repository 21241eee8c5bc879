// Audition speed: the time from Play (style written, loaded and started) to the first sample of
// the style's first note leaving the synthesizer (the block's time plus the sample's place in
// it, less the note's own time in the file), on a JACK server with the dummy backend; the first
// Play's device opening; and the offline render speed as a multiple of real time.
//   korvane_audition_bench [PLAYS]

#include "assignment/ModelCatalogue.h"
#include "assignment/OpenCommand.h"
#include "assignment/SaveCommand.h"
#include "audition/AuditionPlayer.h"
#include "audition/MidiFile.h"
#include "audition/Soundfont.h"
#include "audition/SynthesizerSequencer.h"
#include "platform/RegularFile.h"
#include "support/JackServer.h"
#include "support/ScriptedDialogs.h"
#include "support/StyleGenerator.h"
#include "support/TemporaryFolder.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

using namespace korvane;
using namespace korvane::testing;
using Clock = std::chrono::steady_clock;

namespace {

std::atomic<bool> g_armed{false};
std::atomic<Clock::rep> g_firstSound{0};
std::atomic<Clock::rep> g_firstBuffer{0};
std::int64_t g_firstNoteFrame = 0; // the file's frame of its first note-on

void OnBuffer(const float* left, const float* right, int frames, std::int64_t fileFrame) {
    if (!g_armed || g_firstSound != 0 || fileFrame < 0)
        return;
    const auto now = Clock::now();
    if (g_firstBuffer == 0)
        g_firstBuffer = now.time_since_epoch().count();
    for (int i = int(std::max<std::int64_t>(0, g_firstNoteFrame - fileFrame)); i < frames; ++i) {
        if (left[i] != 0.0f || right[i] != 0.0f) {
            // The note's sample leaves when its block does, plus its place in the block; less
            // the note's time in the file, what is left is the latency.
            const double offset = (i - double(g_firstNoteFrame)) / 44100.0;
            g_firstSound = (now + std::chrono::duration_cast<Clock::duration>(
                                      std::chrono::duration<double>(offset)))
                               .time_since_epoch()
                               .count();
            return;
        }
    }
}

double Milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

} // namespace

// Usage: korvane_audition_bench [PLAYS [prepared]]
int main(int argc, char** argv) {
    const int plays = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const std::string soundfont = FindSoundfont("");
    if (soundfont.empty()) {
        std::fprintf(stderr, "no soundfont installed\n");
        return 1;
    }
    CTemporaryFolder folder;
    StyleGeneratorOptions options;
    options.seed = 16;
    options.sectionNames = SixteenSectionNames();
    const GeneratedStyle style = GenerateStyle(options);
    const std::string path = folder.File("sixteen.sty");
    WriteGeneratedStyle(style, path);

    CScriptedMessageBox messages;
    CAssignmentTable table(messages);
    CSettings settings;
    settings.auditionFolder = folder.File("audition");
    table.SelectModel(ModelIndex("PSR-9000"));
    table.Clear();
    if (OpenStyleFile(table, settings, path) != ReadResult::Ok)
        return 1;
    table.CopyAll();

    // Render speed: the whole style through the offline renderer, as --render does.
    {
        SynthesizerOptions offline;
        offline.soundfont = soundfont;
        offline.wavPath = folder.File("render.wav");
        CSynthesizerSequencer sequencer(offline);
        CAuditionPlayer player(table, settings, sequencer);
        const auto begin = Clock::now();
        player.Play();
        const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
        std::printf("render: %.1f s of audio in %.2f s: %.1f x real time\n",
                    sequencer.GetRenderedSeconds(), seconds,
                    sequencer.GetRenderedSeconds() / seconds);
    }

    // Cycles of 64 frames, as a musician's low-latency JACK set-up has them.
    CJackServer server(64);
    if (!server.IsRunning()) {
        std::fprintf(stderr, "jackd with the dummy backend could not be started\n");
        return 1;
    }
    SynthesizerOptions live;
    live.soundfont = soundfont;
    live.audioDriver = "jack";
    live.onBuffer = OnBuffer;
    // "korvane_audition_bench N prepared": the first Play as the window has it, the soundfont
    // loaded by Prepare beforehand (run it in a process of its own: a first Play in the same
    // process finds the JACK client library and the soundfont warm).
    if (argc > 2 && std::string(argv[2]) == "prepared") {
        // As the window does: the soundfont loads in the background from start-up, while the
        // user opens and assigns (two seconds here), so the first Play only opens the output.
        CSynthesizerSequencer prepared(live);
        prepared.Prepare();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        CAuditionPlayer first(table, settings, prepared);
        const auto begin = Clock::now();
        first.Play();
        const double call = Milliseconds(Clock::now() - begin);
        first.Stop();
        if (!messages.shown.empty()) {
            std::fprintf(stderr, "%s\n", messages.shown[0].text.c_str());
            return 1;
        }
        std::printf("first Play after Prepare (soundfont loaded in the background): call %.1f ms\n",
                    call);
    }
    // The first note: where the style's first note-on stands in the file the Play writes.
    {
        std::filesystem::create_directories(settings.auditionFolder);
        WriteWork(table, AuditionFilePath(settings));
        std::string problem;
        ByteArray bytes;
        ReadRegularFile(AuditionFilePath(settings), 1 << 24, bytes);
        const auto sequence = ParseMidiFile(bytes, problem);
        for (const CMidiEvent& event : sequence ? sequence->events : std::vector<CMidiEvent>{}) {
            if ((event.bytes[0] & 0xF0) == 0x90 && event.bytes.size() == 3 && event.bytes[2]) {
                g_firstNoteFrame = std::llround(event.seconds * 44100.0);
                break;
            }
        }
        std::printf("the style's first note is at %.3f s\n", g_firstNoteFrame / 44100.0);
    }
    CSynthesizerSequencer sequencer(live);
    CAuditionPlayer player(table, settings, sequencer);

    std::vector<double> playCalls, firstBuffers, firstSounds;
    for (int run = 0; run <= plays; ++run) {
        g_firstSound = 0;
        const auto begin = Clock::now();
        player.Play();
        const auto returned = Clock::now();
        g_firstBuffer = 0;
        g_armed = true; // the first buffer from here on is the first with the style playing
        const auto deadline = begin + std::chrono::seconds(5);
        while (g_firstSound == 0 && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        g_armed = false;
        if (!messages.shown.empty()) {
            std::fprintf(stderr, "%s\n", messages.shown[0].text.c_str());
            return 1;
        }
        const double call = Milliseconds(returned - begin);
        const double buffer =
            g_firstBuffer == 0
                ? -1.0
                : Milliseconds(Clock::time_point(Clock::duration(g_firstBuffer.load())) - begin);
        const double sound =
            g_firstSound == 0
                ? -1.0
                : Milliseconds(Clock::time_point(Clock::duration(g_firstSound.load())) - begin);
        if (run == 0) {
            std::printf("first Play (loads the soundfont, opens the device): call %.1f ms, first "
                        "block %.1f ms, first note's sample %.1f ms\n",
                        call, buffer, sound);
        } else {
            playCalls.push_back(call);
            firstBuffers.push_back(buffer);
            firstSounds.push_back(sound);
        }
        player.Stop();
    }
    auto median = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    auto most = [](const std::vector<double>& values) {
        return *std::max_element(values.begin(), values.end());
    };
    std::printf(
        "Play, %d times (median, max): call %.1f, %.1f ms; first block while playing %.1f, "
        "%.1f ms; first sample of the first note %.1f, %.1f ms (less its time in the file)\n",
        plays, median(playCalls), most(playCalls), median(firstBuffers), most(firstBuffers),
        median(firstSounds), most(firstSounds));
    return 0;
}
