#pragma once

#include "audition/CommandSequencer.h"
#include "audition/EventScheduler.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace korvane {

// How the built-in synthesizer sounds and where its audio goes.
struct SynthesizerOptions {
    std::string soundfont;   // the file to load; empty: none was found
    std::string audioDriver; // empty: the first of pipewire, pulseaudio, jack, alsa that starts
    // Offline: each play renders the whole file at once into this WAV file (16-bit stereo,
    // 44.1 kHz), faster than real time, instead of playing it on an audio driver.
    std::string wavPath;
    // Called from the rendering thread with each block the synthesizer renders, and the file's
    // position (in frames) of its first frame; -1 while nothing plays (benchmarks, tests). It must
    // not throw: it runs inside the audio module.
    std::function<void(const float* left, const float* right, int frames, std::int64_t fileFrame)>
        onBuffer;
    // How long the synthesizer may make no progress before it is given up: no block rendered,
    // and, for a load or a render, no processor time used by the thread that does it, so that a
    // slow machine is waited for and only a stalled synthesizer is given up.
    double stallSeconds = 3.0;
    // Stands in for the audio driver where set (tests): it is given the function that renders
    // one block of the live playback into two channels and returns what keeps that audio going;
    // releasing it ends the calls for good, as deleting a driver does.
    std::function<std::shared_ptr<void>(std::function<void(int frames, float* left, float* right)>)>
        startAudio;
};

// The drivers an automatic choice tries, in turn.
inline constexpr const char* kAutomaticAudioDrivers[] = {"pipewire", "pulseaudio", "jack", "alsa"};

// The built-in synthesizer: FluidSynth with a General MIDI soundfont and XG bank select (so that
// MSB 127 selects a drum kit), fed the style's events by the event scheduler at their sample
// positions, on the audio driver's thread or, offline, on a render thread of its own. The
// synthesizer and soundfont load at the first open and stay loaded. Commands reach the rendering
// thread through a lock-free ring, so that neither thread ever waits on the other, and every call
// of FluidSynth is made on the rendering thread. A synthesizer that makes no progress for
// stallSeconds is given up: it is silenced at once, released on a thread of its own (so that a
// stuck audio driver holds up nobody), and the next open makes a new one.
class CSynthesizerSequencer : public CCommandSequencer {
public:
    explicit CSynthesizerSequencer(SynthesizerOptions options);
    ~CSynthesizerSequencer() override;

    // Loads the synthesizer and its soundfont on a thread of its own; the first open takes the
    // result and opens the audio output. Nobody ever waits for that thread to end.
    void Prepare() override;

    // Seconds of audio the last offline render wrote: the WAV's length. Virtual, so that a
    // program that made the synthesizer through the audio module calls it without linking it.
    virtual double GetRenderedSeconds() const;
    // Live: waits until every event was played and the last notes have rung out (at most two
    // seconds more), or until the synthesizer stopped making progress (Stalled, given up).
    virtual SequencerError WaitWhilePlaying();

    struct Engine;
    struct Loading;

protected:
    SequencerError OpenFile(const std::string& path, const ByteArray& bytes,
                            const CMidiSequence& sequence) override;
    SequencerError Rewind() override;
    SequencerError Play() override;
    SequencerError Stop() override;
    void CloseFile() override;

private:
    SequencerError StartEngine();
    SequencerError RenderToFile();
    SequencerError GiveUp();
    // Hands a command to the rendering thread; gives the synthesizer up when it has stalled.
    SequencerError Hand(int kind, std::unique_ptr<CMidiSequence> sequence = nullptr);
    // Whether the live synthesizer rendered no block for the stall time.
    bool HasStalled();

    SynthesizerOptions m_options;
    std::shared_ptr<Engine> m_pEngine;
    std::shared_ptr<Loading> m_pLoading; // the load Prepare started, shared with its thread
    double m_renderedSeconds = 0.0;
    bool m_rendered = false; // the file was rendered since the last rewind
};

} // namespace korvane
