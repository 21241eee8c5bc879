#include "app/dialogs/VoicesDlg.h"

#include "app/controls/MdcText.h"
#include "app/dialogs/DialogLabel.h"
#include "settings/VoiceSettings.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QSlider>
#include <QVBoxLayout>

namespace korvane {

namespace {

constexpr Colour kCaptionText{255, 255, 128};
constexpr Colour kCaptionBack{53, 106, 106};

} // namespace

CVoicesDlg::CVoicesDlg(QWidget* parent) : QDialog(parent) {
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

    auto* grid = new QGridLayout(panel);
    grid->addWidget(MakeDialogLabel(panel, "sectionHeader", "SECTION", kCaptionText, kCaptionBack),
                    0, 0);
    grid->addWidget(MakeDialogLabel(panel, "voiceHeader", "VOICE", kCaptionText, kCaptionBack), 0,
                    1);
    for (std::size_t control = 0; control < kMixerControls.size(); ++control) {
        const std::string name = std::string(kMixerControls[control]) + "Header";
        grid->addWidget(MakeDialogLabel(panel, name.c_str(), kMixerControls[control], kCaptionText,
                                        kCaptionBack),
                        0, 2 + int(control), Qt::AlignHCenter);
    }

    for (std::size_t row = 0; row < kVoiceRows.size(); ++row) {
        const QString number = QString::number(row);
        grid->addWidget(MakeDialogLabel(panel, ("partCaption" + std::to_string(row)).c_str(),
                                        kVoiceRows[row].caption, kCaptionText, kCaptionBack),
                        int(row) + 1, 0);
        auto* voice = new CMdcText(panel);
        voice->setObjectName(QStringLiteral("voiceBox") + number);
        voice->SetText(kVoiceRows[row].voice);
        voice->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("Aco. Grand Piano")) +
                               16);
        grid->addWidget(voice, int(row) + 1, 1);

        for (std::size_t control = 0; control < kMixerControls.size(); ++control) {
            const QString name = QString::fromLatin1(kMixerControls[control]).toLower() + number;
            auto* slider = new QSlider(Qt::Horizontal, panel);
            slider->setObjectName(name + QStringLiteral("Slider"));
            slider->setRange(kMixerMinimum, kMixerMaximum);
            slider->setValue(kMixerStart);
            slider->setMinimumWidth(80);
            auto* value = new CMdcText(panel);
            value->setObjectName(name + QStringLiteral("Box"));
            value->SetText(std::to_string(kMixerStart));
            value->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000")));
            connect(slider, &QSlider::valueChanged, value,
                    [value](int position) { value->SetText(std::to_string(position)); });

            auto* cell = new QHBoxLayout;
            cell->addWidget(slider);
            cell->addWidget(value);
            grid->addLayout(cell, int(row) + 1, 2 + int(control));
        }
    }

    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Vertical, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* side = new QVBoxLayout;
    side->addStretch();
    side->addWidget(buttons);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(panel);
    layout->addLayout(side);
}

} // namespace korvane
