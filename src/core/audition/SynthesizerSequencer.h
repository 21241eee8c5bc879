#pragma once

#include "audition/CommandSequencer.h"

#include <functional>
#include <future>
#include <memory>
#include <string>

namespace korvane {

// How the built-in synthesizer sounds and where its audio goes.
struct SynthesizerOptions {
    std::string soundfont;   // the file to load; empty: none was found
    std::string audioDriver; // empty: FluidSynth's default, then every other driver it has
    // Offline: each play renders the whole file at once into this WAV file (16-bit stereo,
    // 44.1 kHz), faster than real time, instead of playing it on an audio driver.
    std::string wavPath;
    // Called from the audio thread with each buffer the synthesizer renders (benchmarks).
    std::function<void(const float* left, const float* right, int frames)> onBuffer;
};

// The built-in synthesizer: FluidSynth with a General MIDI soundfont, XG bank select so that
// MSB 127 selects a drum kit, and FluidSynth's MIDI file player, which plays the style's events
// as they stand (program changes, bank selects, controllers, system-exclusive messages). The
// synthesizer and soundfont load at the first open and stay loaded; playback runs on the audio
// driver's thread.
class CSynthesizerSequencer : public CCommandSequencer {
public:
    explicit CSynthesizerSequencer(SynthesizerOptions options);
    ~CSynthesizerSequencer() override;

    // Loads the synthesizer and its soundfont on a thread of its own; the first open takes the
    // result (waiting for it if it is not ready) and opens the audio output. A load that failed
    // is reported by that open, as a load at the open would be.
    void Prepare() override;

    // Seconds of audio the last offline render wrote. Virtual, so that a program that made the
    // synthesizer through the audio module calls it without linking the module.
    virtual double GetRenderedSeconds() const;

protected:
    SequencerError OpenFile(const std::string& path, const ByteArray& bytes,
                            const CMidiSequence& sequence) override;
    SequencerError Rewind() override;
    SequencerError Play() override;
    SequencerError Stop() override;
    void CloseFile() override;

private:
    struct Engine;
    struct LoadedEngine;
    static LoadedEngine LoadEngine(const SynthesizerOptions& options);
    SequencerError StartEngine();
    SequencerError RenderToFile();

    SynthesizerOptions m_options;
    std::unique_ptr<Engine> m_pEngine;
    ByteArray m_file;
    // The background load Prepare started; destroyed (so waited for) before the engine.
    std::future<std::shared_ptr<LoadedEngine>> m_loading;
};

} // namespace korvane
