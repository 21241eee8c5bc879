// The entry of korvane-audio.so: the table through which programs make its sequencers.

#include "audition/AudioModule.h"

namespace korvane {
namespace {

// Nothing thrown in the module leaves it: a program may carry its own C++ runtime, which cannot
// catch what this one throws. What could not be made is null; ports that could not be listed,
// none.
std::unique_ptr<CSynthesizerSequencer> MakeSynthesizer(SynthesizerOptions options) noexcept try {
    return std::make_unique<CSynthesizerSequencer>(std::move(options));
} catch (...) {
    return nullptr;
}

std::unique_ptr<CPortSequencer> MakePortSequencer(std::string portName) noexcept try {
    return std::make_unique<CPortSequencer>(std::move(portName));
} catch (...) {
    return nullptr;
}

std::vector<std::string> ListPorts() noexcept try { return FindOutputPorts(); } catch (...) {
    return {};
}

const AudioModuleEntry kEntry{MakeSynthesizer, MakePortSequencer, ListPorts};

} // namespace
} // namespace korvane

extern "C" __attribute__((visibility("default"))) const korvane::AudioModuleEntry*
korvane_audio_module_1() {
    return &korvane::kEntry;
}
