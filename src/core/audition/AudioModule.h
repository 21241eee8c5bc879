#pragma once

#include "audition/PortSequencer.h"
#include "audition/SynthesizerSequencer.h"

#include <memory>
#include <string>
#include <vector>

// The sequencers that need FluidSynth and RtMidi (and, through them, JACK, ALSA, PulseAudio, SDL,
// X11 ...) live in the shared module korvane-audio.so, so that those libraries are loaded only
// when something is played or the ports are listed; converting never loads them. Programs call
// the sequencers only through the module's table and their virtual functions.

namespace korvane {

// What the module offers: the table its function kAudioModuleSymbol returns. No exception leaves
// the module; a sequencer it could not make (out of memory) is null.
struct AudioModuleEntry {
    std::unique_ptr<CSynthesizerSequencer> (*makeSynthesizer)(SynthesizerOptions options);
    std::unique_ptr<CPortSequencer> (*makePortSequencer)(std::string portName);
    std::vector<std::string> (*findOutputPorts)();
};

// The symbol names the table's layout: a module built from other sources is refused.
constexpr const char* kAudioModuleSymbol = "korvane_audio_module_1";

// The module's table, loaded at the first call (from any thread); nullptr when the module cannot
// be loaded, with the reason in failure. A program in the build tree takes the module built
// there; an installed one the module installed beside it, in LIBDIR/korvane.
const AudioModuleEntry* LoadAudioModule(std::string& failure);

// The MIDI output ports of every backend RtMidi has (ALSA, JACK), by the names a port setting
// uses; none when the module cannot be loaded.
std::vector<std::string> ListOutputPorts();

} // namespace korvane
