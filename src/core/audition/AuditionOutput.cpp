#include "audition/AuditionOutput.h"

#include "audition/AudioModule.h"
#include "audition/Soundfont.h"
#include "platform/Environment.h"

#include <system_error>

namespace korvane {
namespace {

// A JACK server that is not running must not be started behind the user's back. Set on the
// thread that asks for a sequencer, before the module's threads could read the environment.
void KeepJackServerStopped() {
    SetEnvironmentDefault("JACK_NO_START_SERVER", "1");
}

} // namespace

std::unique_ptr<ISequencer> MakeAuditionSequencer(const std::string& output,
                                                  const std::string& soundfont,
                                                  const std::string& driver, std::string& failure) {
    const AudioModuleEntry* module = LoadAudioModule(failure);
    if (!module)
        return nullptr;
    std::unique_ptr<ISequencer> made;
    if (output.empty() || output == kBuiltInSynthesizer) {
        SynthesizerOptions options;
        options.soundfont = FindSoundfont(soundfont);
        options.audioDriver = driver == "automatic" ? "" : driver;
        made = module->makeSynthesizer(std::move(options));
    } else {
        made = module->makePortSequencer(output);
    }
    if (!made)
        failure = "not enough memory"; // all the module says of it
    return made;
}

CSettingsSequencer::Made CSettingsSequencer::Make(const std::string& output,
                                                  const std::string& soundfont,
                                                  const std::string& driver) {
    Made made{nullptr, output, soundfont, driver, {}};
    made.sequencer = MakeAuditionSequencer(output, soundfont, driver, made.failure);
    return made;
}

void CSettingsSequencer::TakePrepared() {
    if (m_preparing.valid())
        m_current = m_preparing.get();
}

int CSettingsSequencer::SendCommand(const std::string& command) {
    TakePrepared();
    const bool opening = command.rfind("open ", 0) == 0;
    if (opening && (!m_current.sequencer || m_current.output != m_settings.auditionOutput ||
                    m_current.soundfont != m_settings.soundfont ||
                    m_current.driver != m_settings.audioDriver)) {
        m_current.sequencer.reset(); // ends whatever the old output still plays
        KeepJackServerStopped();
        m_current = Make(m_settings.auditionOutput, m_settings.soundfont, m_settings.audioDriver);
    }
    if (!m_current.sequencer) {
        return static_cast<int>(m_current.failure.empty() ? SequencerError::NotOpen
                                                          : SequencerError::NoAudioModule);
    }
    return m_current.sequencer->SendCommand(command);
}

void CSettingsSequencer::Prepare() {
    if (m_current.sequencer || m_preparing.valid())
        return;
    KeepJackServerStopped();
    try {
        m_preparing = std::async(std::launch::async, [output = m_settings.auditionOutput,
                                                      soundfont = m_settings.soundfont,
                                                      driver = m_settings.audioDriver] {
            Made made = Make(output, soundfont, driver);
            if (made.sequencer)
                made.sequencer->Prepare();
            return made;
        });
    } catch (const std::system_error&) {
        // No thread to spare: the first open makes the sequencer instead.
    }
}

std::optional<std::string> CSettingsSequencer::GetErrorText(int code) {
    TakePrepared();
    if (code == static_cast<int>(SequencerError::NoAudioModule) && !m_current.failure.empty())
        return m_current.failure;
    if (!m_current.sequencer)
        return std::nullopt;
    return m_current.sequencer->GetErrorText(code);
}

} // namespace korvane
