#include "app/dialogs/VoicesDlg.h"

#include "app/controls/MdcText.h"
#include "app/dialogs/DialogLabel.h"
#include "app/dialogs/ScreenFit.h"

#include <QCheckBox>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSlider>
#include <QStringList>
#include <QVBoxLayout>

namespace korvane {

namespace {

constexpr Colour kCaptionText{255, 255, 128};
constexpr Colour kCaptionBack{53, 106, 106};
const char* const kDiffers = "(differs between sections)";

// A scroll area that asks for room for the whole grid; only a screen too small for it makes it
// scroll.
class CGridScroller : public QScrollArea {
public:
    using QScrollArea::QScrollArea;
    QSize sizeHint() const override {
        const int frame = 2 * frameWidth();
        return widget() ? widget()->sizeHint() + QSize(frame, frame) : QScrollArea::sizeHint();
    }
};

VoiceSetting MixerSetting(int control) {
    return VoiceSetting(int(VoiceSetting::Volume) + control);
}

} // namespace

CVoicesDlg::CVoicesDlg(VoicesForm form, QWidget* parent)
    : QDialog(parent), m_form(std::move(form)), m_changes(m_form.changes) {
    setObjectName(QStringLiteral("voicesDialog"));
    setWindowTitle(QStringLiteral("Reconfigure Voice Settings"));

    // The panel behind the grid.
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("voicesPanel"));
    panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    panel->setAutoFillBackground(true);
    QPalette panelColours = panel->palette();
    panelColours.setColor(QPalette::Window, QColor(53, 106, 106));
    panel->setPalette(panelColours);

    QStringList names;
    for (const VoiceChoice& choice : VoiceChoices())
        names << QString::fromStdString(choice.name);

    auto* grid = new QGridLayout(panel);
    grid->addWidget(MakeDialogLabel(panel, "sectionHeader", "SECTION", kCaptionText, kCaptionBack),
                    0, 0);
    grid->addWidget(MakeDialogLabel(panel, "voiceHeader", "VOICE", kCaptionText, kCaptionBack), 0,
                    1);
    for (int control = 0; control < kMixerSettingCount; ++control) {
        const char* header = MixerNames()[std::size_t(control)];
        grid->addWidget(MakeDialogLabel(panel, (std::string(header) + "Header").c_str(), header,
                                        kCaptionText, kCaptionBack),
                        0, 2 + control, Qt::AlignHCenter);
    }

    const int valueWidth = fontMetrics().horizontalAdvance(QStringLiteral("R63")) + 12;
    for (int row = 0; row < kPartCount; ++row) {
        const QString number = QString::number(row);
        grid->addWidget(MakeDialogLabel(panel, ("partCaption" + std::to_string(row)).c_str(),
                                        kPartNames[std::size_t(row)], kCaptionText, kCaptionBack),
                        row + 1, 0);
        auto* voice = new CMdcText(panel);
        voice->setObjectName(QStringLiteral("voiceBox") + number);
        voice->setMinimumWidth(
            fontMetrics().horizontalAdvance(QStringLiteral("Bank 0/112, program 128 (Tenor Sax)")) +
            16);
        // One list per box: a pick (click, or arrows and Enter) is applied to the box it was
        // made in.
        auto* completer = new QCompleter(names, voice);
        completer->setCaseSensitivity(Qt::CaseInsensitive);
        completer->setFilterMode(Qt::MatchContains);
        voice->setCompleter(completer);
        voice->setReadOnly(m_form.readOnly);
        voice->setPlaceholderText(QStringLiteral("name, or MSB/LSB/program"));
        connect(completer, qOverload<const QString&>(&QCompleter::activated), this,
                [this, row](const QString& picked) { ChooseVoice(row, picked); });
        connect(voice, &QLineEdit::editingFinished, this,
                [this, row, voice] { ChooseVoice(row, voice->text()); });
        m_voiceBoxes[std::size_t(row)] = voice;
        auto* message = new QLabel(panel);
        message->setObjectName(QStringLiteral("voiceMessage") + number);
        message->setWordWrap(true);
        message->setStyleSheet(QStringLiteral("color: rgb(255, 255, 128)"));
        message->hide();
        m_voiceMessages[std::size_t(row)] = message;
        auto* voiceCell = new QVBoxLayout;
        voiceCell->setSpacing(0);
        voiceCell->addWidget(voice);
        voiceCell->addWidget(message);
        grid->addLayout(voiceCell, row + 1, 1);
        auto* routed = new QLabel(panel);
        routed->setObjectName(QStringLiteral("routedNote") + number);
        routed->setStyleSheet(QStringLiteral("color: rgb(255, 255, 128)"));
        m_routedNotes[std::size_t(row)] = routed;
        grid->addWidget(routed, row + 1, 2 + kMixerSettingCount);

        for (int control = 0; control < kMixerSettingCount; ++control) {
            const QString name =
                QString::fromLatin1(MixerNames()[std::size_t(control)]).toLower() + number;
            auto* slider = new QSlider(Qt::Horizontal, panel);
            slider->setObjectName(name + QStringLiteral("Slider"));
            slider->setRange(0, 127);
            slider->setMinimumWidth(80);
            slider->setEnabled(!m_form.readOnly);
            auto* value = new CMdcText(panel);
            value->setObjectName(name + QStringLiteral("Box"));
            value->setReadOnly(true);
            value->setMinimumWidth(valueWidth);
            value->setMaximumWidth(valueWidth);
            connect(slider, &QSlider::valueChanged, this, [this, row, control](int position) {
                At(m_changes.parts[std::size_t(row)], MixerSetting(control)) =
                    std::uint8_t(position);
                Render();
            });
            m_sliders[std::size_t(row)][std::size_t(control)] = slider;
            m_valueBoxes[std::size_t(row)][std::size_t(control)] = value;

            auto* cell = new QHBoxLayout;
            cell->addWidget(slider);
            cell->addWidget(value);
            grid->addLayout(cell, row + 1, 2 + control);
        }
    }

    m_pGeneralMidi = new QCheckBox(QStringLiteral("Use General MIDI voices"), this);
    m_pGeneralMidi->setObjectName(QStringLiteral("generalMidiCheck"));
    m_pGeneralMidi->setToolTip(
        QStringLiteral("Melodic parts to bank 0/0 keeping their program, drum parts to the nearest "
                       "standard kit: for keyboards that lack the newer banks"));
    m_pGeneralMidi->setChecked(m_changes.generalMidiVoices);
    m_pGeneralMidi->setEnabled(!m_form.readOnly);
    connect(m_pGeneralMidi, &QCheckBox::toggled, this, [this](bool on) {
        m_changes.generalMidiVoices = on;
        Render();
    });

    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Vertical, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* side = new QVBoxLayout;
    side->addStretch();
    side->addWidget(buttons);

    // The grid scrolls where the screen is too small for it, so that OK and Cancel stay on it.
    auto* scroller = new CGridScroller(this);
    scroller->setObjectName(QStringLiteral("voicesScroller"));
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    scroller->setWidget(panel);
    scroller->setMinimumSize(panel->minimumSizeHint().boundedTo(QSize(320, 200)));
    auto* left = new QVBoxLayout;
    left->addWidget(scroller);
    left->addWidget(m_pGeneralMidi);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addLayout(side);
    Render();
    // As large as the grid wants, within the screen it opens on.
    resize(sizeHint());
    FitToScreen(*this, parent);
}

void CVoicesDlg::ChooseVoice(int part, const QString& text) {
    QLabel* message = m_voiceMessages[std::size_t(part)];
    // Leaving a box that shows what will be saved changes nothing.
    if (m_form.readOnly || text == m_shownVoices[std::size_t(part)]) {
        message->hide();
        return;
    }
    const VoiceTextReading reading = ReadVoiceText(text.toStdString());
    message->setText(QString::fromStdString(reading.refusal));
    message->setVisible(!reading.choice);
    if (reading.choice) {
        PartSetup& setup = m_changes.parts[std::size_t(part)];
        At(setup, VoiceSetting::BankMsb) = reading.choice->msb;
        At(setup, VoiceSetting::BankLsb) = reading.choice->lsb;
        At(setup, VoiceSetting::Program) = reading.choice->program;
    }
    Render();
}

void CVoicesDlg::Render() {
    const SavedVoices shown = m_form.Preview(m_changes);
    for (int row = 0; row < kPartCount; ++row) {
        const PartSetup& part = shown.parts[std::size_t(row)];
        CMdcText* voice = m_voiceBoxes[std::size_t(row)];
        const QString name =
            QString::fromStdString(VoiceDiffers(shown, row) ? kDiffers : VoiceName(part));
        m_shownVoices[std::size_t(row)] = name;
        // A refused text stays for the user to mend, with its reason under it.
        if (m_voiceMessages[std::size_t(row)]->isHidden()) {
            voice->SetText(name.toStdString());
            // A long name shows its start; the whole name is the tooltip.
            voice->setCursorPosition(0);
            voice->setToolTip(voice->text());
        }
        m_routedNotes[std::size_t(row)]->setText(
            QString::fromStdString(shown.routedPrograms[std::size_t(row)]));
        for (int control = 0; control < kMixerSettingCount; ++control) {
            const VoiceSetting setting = MixerSetting(control);
            const auto& value = At(part, setting);
            const bool differs = shown.differs[std::size_t(row)][std::size_t(setting)];
            QSlider* slider = m_sliders[std::size_t(row)][std::size_t(control)];
            const QSignalBlocker quiet(slider);
            slider->setValue(value.value_or(0));
            CMdcText* box = m_valueBoxes[std::size_t(row)][std::size_t(control)];
            std::string text;
            if (value && !differs)
                text = setting == VoiceSetting::Pan ? PanText(*value) : std::to_string(*value);
            box->SetText(text);
            box->setToolTip(differs ? QString::fromLatin1(kDiffers) : QString());
        }
    }
}

} // namespace korvane
