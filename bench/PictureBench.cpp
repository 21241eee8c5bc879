// A section's picture, summarised and drawn as the window's tooltip draws it: a normal section of
// four bars beside one of 10,000 bars. The goal: the huge one within 100 ms.

#include "app/pictures/SectionPictureImage.h"
#include "style/MidiTrack.h"
#include "style/SectionPicture.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

namespace korvane {
namespace {

// Bars of 4/4 at 480 pulses: each beat a kick, a hi-hat, a bass note and a three-note chord on
// the parts' channels, each note ended a quarter later; then the delta-time before the next marker.
ByteArray SectionBytes(int bars) {
    ByteArray bytes;
    auto event = [&](std::uint32_t delta, std::initializer_list<std::uint8_t> message) {
        AppendVariableLength(bytes, delta);
        bytes.insert(bytes.end(), message);
    };
    const std::uint8_t chord[] = {0x3C, 0x40, 0x43};
    for (int beat = 0; beat < bars * 4; ++beat) {
        const std::uint8_t bass = std::uint8_t(0x24 + beat % 12);
        event(0, {0x98, 0x24, 0x64});
        event(0, {0x99, 0x2A, 0x50});
        event(0, {0x9A, bass, 0x60});
        for (std::uint8_t key : chord)
            event(0, {0x9B, key, 0x48});
        event(240, {0x89, 0x2A, 0x00});
        event(0, {0x88, 0x24, 0x00});
        event(240, {0x8A, bass, 0x00});
        for (std::uint8_t key : chord)
            event(0, {0x8B, key, 0x00});
    }
    AppendVariableLength(bytes, 0);
    return bytes;
}

void BM_SectionPicture(benchmark::State& state) {
    const ByteArray bytes = SectionBytes(int(state.range(0)));
    for (auto _ : state) {
        const SectionPicture picture = SummariseSection(bytes, {});
        const QImage image = DrawSectionPicture(picture);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes.size()));
    state.counters["bytes"] = double(bytes.size());
}
BENCHMARK(BM_SectionPicture)->Arg(4)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace korvane

int main(int argc, char** argv) {
    // Drawing text needs an application with fonts; the offscreen platform needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
