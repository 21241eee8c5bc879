// Audition speed: the time from Play (style written, loaded and started) to the first audio
// buffer the synthesizer renders with the style's sound in it, on a JACK server with the dummy
// backend; and the offline render speed as a multiple of real time.
//   korvane_audition_bench [PLAYS]

#include "assignment/ModelCatalogue.h"
#include "assignment/OpenCommand.h"
#include "audition/AuditionPlayer.h"
#include "audition/Soundfont.h"
#include "audition/SynthesizerSequencer.h"
#include "support/JackServer.h"
#include "support/ScriptedDialogs.h"
#include "support/StyleGenerator.h"
#include "support/TemporaryFolder.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

using namespace korvane;
using namespace korvane::testing;
using Clock = std::chrono::steady_clock;

namespace {

std::atomic<bool> g_armed{false};
std::atomic<Clock::rep> g_firstSound{0};
std::atomic<Clock::rep> g_firstBuffer{0};

void OnBuffer(const float* left, const float* right, int frames) {
    if (!g_armed || g_firstSound != 0)
        return;
    if (g_firstBuffer == 0)
        g_firstBuffer = Clock::now().time_since_epoch().count();
    for (int i = 0; i < frames; ++i) {
        if (left[i] != 0.0f || right[i] != 0.0f) {
            g_firstSound = Clock::now().time_since_epoch().count();
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

    CJackServer server;
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
            std::printf("first Play (loads the soundfont): call %.1f ms, first buffer %.1f ms, "
                        "first sound %.1f ms\n",
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
    std::printf("Play, %d times (median, max): call %.1f, %.1f ms; first rendered buffer %.1f, "
                "%.1f ms; first audible buffer %.1f, %.1f ms (the style's SInt bar is silent)\n",
                plays, median(playCalls), most(playCalls), median(firstBuffers), most(firstBuffers),
                median(firstSounds), most(firstSounds));
    return 0;
}
