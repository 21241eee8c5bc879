// The entry of korvane-audio.so: the table through which programs make its sequencers.

#include "audition/AudioModule.h"

namespace korvane {
namespace {

std::unique_ptr<CSynthesizerSequencer> MakeSynthesizer(SynthesizerOptions options) {
    return std::make_unique<CSynthesizerSequencer>(std::move(options));
}

std::unique_ptr<CPortSequencer> MakePortSequencer(std::string portName) {
    return std::make_unique<CPortSequencer>(std::move(portName));
}

const AudioModuleEntry kEntry{MakeSynthesizer, MakePortSequencer, FindOutputPorts};

} // namespace
} // namespace korvane

extern "C" __attribute__((visibility("default"))) const korvane::AudioModuleEntry*
korvane_audio_module_1() {
    return &korvane::kEntry;
}
