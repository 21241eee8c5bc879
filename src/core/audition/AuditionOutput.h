#pragma once

#include "platform/Sequencer.h"
#include "settings/Settings.h"

#include <memory>
#include <string>

namespace korvane {

// The sequencer an audition output setting names: the built-in synthesizer with its soundfont,
// or the MIDI output port of that name.
std::unique_ptr<ISequencer> MakeAuditionSequencer(const std::string& output,
                                                  const std::string& soundfont);

// The sequencer the settings choose, made at its first open (or by Prepare), and made again at an
// open after the output or soundfont setting changed.
class CSettingsSequencer : public ISequencer {
public:
    explicit CSettingsSequencer(const CSettings& settings) : m_settings(settings) {}
    int SendCommand(const std::string& command) override;
    std::optional<std::string> GetErrorText(int code) override;
    // Makes the sequencer the settings choose now and lets it prepare in the background (the
    // synthesizer loads its soundfont), so that the first Play does not wait for it. The window
    // calls it once it is shown; an open after the settings changed makes a new one as before.
    void Prepare() override;

private:
    const CSettings& m_settings;
    std::unique_ptr<ISequencer> m_pSequencer;
    std::string m_output;
    std::string m_soundfont;
};

} // namespace korvane
