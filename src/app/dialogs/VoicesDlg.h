#pragma once

#include "style/VoicesForm.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QLabel;
class QSlider;

namespace korvane {

class CMdcText;

// "Reconfigure Voice Settings": the eight accompaniment parts of the new style with their voice
// and four mixer values as they will be saved. A voice is typed or picked from the GM voices and
// drum kits the box suggests as you type; sliders run 0 to 127. What the user changes is kept in
// GetChanges(); the dialog decides nothing about the style, the form's preview does. With nothing
// assigned the opened file's set-up is shown and nothing can be changed.
class CVoicesDlg : public QDialog {
    Q_OBJECT

public:
    explicit CVoicesDlg(VoicesForm form, QWidget* parent = nullptr);

    const VoiceChanges& GetChanges() const { return m_changes; }

private:
    // Applies a voice text typed or picked for a part; a text that names no voice stays in the
    // box with the reason under it.
    void ChooseVoice(int part, const QString& text);
    void Render();

    VoicesForm m_form;
    VoiceChanges m_changes;
    std::array<CMdcText*, kPartCount> m_voiceBoxes{};
    std::array<QLabel*, kPartCount> m_voiceMessages{}; // why a text was refused, under its box
    std::array<QString, kPartCount> m_shownVoices{};   // what Render last put in each box
    std::array<QLabel*, kPartCount> m_routedNotes{};
    std::array<std::array<QSlider*, kMixerSettingCount>, kPartCount> m_sliders{};
    std::array<std::array<CMdcText*, kMixerSettingCount>, kPartCount> m_valueBoxes{};
    QCheckBox* m_pGeneralMidi = nullptr;
};

} // namespace korvane
