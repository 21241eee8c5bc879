#include "audition/AuditionOutput.h"

#include "audition/PortSequencer.h"
#include "audition/Soundfont.h"
#include "audition/SynthesizerSequencer.h"

namespace korvane {

std::unique_ptr<ISequencer> MakeAuditionSequencer(const std::string& output,
                                                  const std::string& soundfont) {
    if (output.empty() || output == kBuiltInSynthesizer) {
        SynthesizerOptions options;
        options.soundfont = FindSoundfont(soundfont);
        return std::make_unique<CSynthesizerSequencer>(std::move(options));
    }
    return std::make_unique<CPortSequencer>(output);
}

int CSettingsSequencer::SendCommand(const std::string& command) {
    const bool opening = command.rfind("open ", 0) == 0;
    if (opening && (!m_pSequencer || m_output != m_settings.auditionOutput ||
                    m_soundfont != m_settings.soundfont)) {
        m_pSequencer.reset(); // ends whatever the old output still plays
        m_output = m_settings.auditionOutput;
        m_soundfont = m_settings.soundfont;
        m_pSequencer = MakeAuditionSequencer(m_output, m_soundfont);
    }
    if (!m_pSequencer)
        return 2; // nothing was ever opened: the alias is unknown
    return m_pSequencer->SendCommand(command);
}

void CSettingsSequencer::Prepare() {
    if (m_pSequencer)
        return;
    m_output = m_settings.auditionOutput;
    m_soundfont = m_settings.soundfont;
    m_pSequencer = MakeAuditionSequencer(m_output, m_soundfont);
    m_pSequencer->Prepare();
}

std::optional<std::string> CSettingsSequencer::GetErrorText(int code) {
    if (!m_pSequencer)
        return std::nullopt;
    return m_pSequencer->GetErrorText(code);
}

} // namespace korvane
