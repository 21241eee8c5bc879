#pragma once

#include "platform/Sequencer.h"
#include "settings/Settings.h"

#include <future>
#include <memory>
#include <string>

namespace korvane {

// The sequencer an audition output setting names: the built-in synthesizer with its soundfont,
// or the MIDI output port of that name; made by the audio module, so nullptr, with the reason in
// failure, when the module cannot be loaded.
std::unique_ptr<ISequencer> MakeAuditionSequencer(const std::string& output,
                                                  const std::string& soundfont,
                                                  const std::string& driver, std::string& failure);

// The sequencer the settings choose, made at its first open (or by Prepare), and made again at an
// open after the output, soundfont or driver setting changed.
class CSettingsSequencer : public ISequencer {
public:
    explicit CSettingsSequencer(const CSettings& settings) : m_settings(settings) {}
    int SendCommand(const std::string& command) override;
    std::optional<std::string> GetErrorText(int code) override;
    // Makes the sequencer the settings choose now and lets it prepare (the synthesizer loads its
    // soundfont), all on a thread of its own: loading the audio module and its libraries takes
    // longer than showing a window. The window calls it once it is painted; the next command
    // waits for it, and an open after the settings changed makes a new one as before.
    void Prepare() override;

private:
    // A sequencer, the settings it was made for, and why it could not be made.
    struct Made {
        std::unique_ptr<ISequencer> sequencer;
        std::string output;
        std::string soundfont;
        std::string driver;
        std::string failure;
    };
    static Made Make(const std::string& output, const std::string& soundfont,
                     const std::string& driver);
    void TakePrepared();

    const CSettings& m_settings;
    Made m_current;
    // The sequencer Prepare is making; declared after m_current, so destroyed (waited for) first.
    std::future<Made> m_preparing;
};

} // namespace korvane
