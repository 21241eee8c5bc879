#include "app/dialogs/PropertiesDlg.h"

#include "app/controls/MdcText.h"
#include "app/dialogs/DialogLabel.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace korvane {

namespace {

constexpr Colour kCaptionText{255, 255, 128};
constexpr Colour kCaptionBack{0, 128, 128};

// The rows top to bottom: caption, the box's name, and whether the box takes typing. Format and
// track count are shown only; the time signature is shown only as nothing reads it back.
struct PropertiesRow {
    const char* caption;
    const char* name;
    bool editable;
};
constexpr std::array<PropertiesRow, 7> kRows = {{
    {"Format type", "Format", false},
    {"Number of tracks", "TrackCount", false},
    {"Pulses/quarter note", "Division", true},
    {"Tempo (BPM)", "Tempo", true},
    {"Time signature", "TimeSignature", false},
    {"Sequence name", "SequenceName", true},
    {"Copyright", "Copyright", true},
}};

std::array<const std::string*, 7> Texts(const PropertiesColumn& column) {
    return {&column.format,        &column.trackCount,   &column.division, &column.tempo,
            &column.timeSignature, &column.sequenceName, &column.copyright};
}

} // namespace

CPropertiesDlg::CPropertiesDlg(const PropertiesForm& form, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("propertiesDialog"));
    setWindowTitle(QStringLiteral("Properties Dialog"));

    // Captions on the left, then the source and destination columns, one row per value.
    auto* grid = new QGridLayout;
    for (auto [column, caption] : {std::pair{1, "Source"}, std::pair{2, "Destination"}}) {
        auto* header = new QLabel(QString::fromLatin1(caption), this);
        header->setObjectName(QString::fromLatin1(caption).toLower() + QStringLiteral("Header"));
        QFont bold = header->font();
        bold.setBold(true);
        header->setFont(bold);
        grid->addWidget(header, 0, column);
    }
    m_source = MakeColumn("source", form.source);
    m_destination = MakeColumn("destination", form.destination);
    for (std::size_t row = 0; row < kRows.size(); ++row) {
        const std::string name = std::string("caption") + kRows[row].name;
        CLabelControl* caption =
            MakeDialogLabel(this, name.c_str(), kRows[row].caption, kCaptionText, kCaptionBack);
        caption->setMinimumWidth(
            fontMetrics().horizontalAdvance(QString::fromLatin1(kRows[row].caption)) + 12);
        grid->addWidget(caption, int(row) + 1, 0);
        grid->addWidget(m_source[row], int(row) + 1, 1);
        grid->addWidget(m_destination[row], int(row) + 1, 2);
    }

    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Horizontal, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
}

CPropertiesDlg::ColumnBoxes CPropertiesDlg::MakeColumn(const char* prefix,
                                                       const PropertiesColumn& column) {
    ColumnBoxes boxes{};
    const auto texts = Texts(column);
    for (std::size_t row = 0; row < kRows.size(); ++row) {
        auto* box = new CMdcText(this);
        box->setObjectName(QString::fromLatin1(prefix) + QString::fromLatin1(kRows[row].name));
        box->SetText(*texts[row]);
        // A long text opens at its start, not scrolled to its end.
        box->setCursorPosition(0);
        if (!kRows[row].editable) {
            // Shown only: drawn on the dialog's colour and left out of the tab order.
            box->setReadOnly(true);
            box->setFocusPolicy(Qt::NoFocus);
            QPalette shown = box->palette();
            shown.setColor(QPalette::Base, shown.color(QPalette::Button));
            box->setPalette(shown);
        }
        box->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 24);
        boxes[row] = box;
    }
    return boxes;
}

PropertiesColumn CPropertiesDlg::ReadColumn(const ColumnBoxes& boxes) {
    return {boxes[0]->GetText(), boxes[1]->GetText(), boxes[2]->GetText(), boxes[3]->GetText(),
            boxes[4]->GetText(), boxes[5]->GetText(), boxes[6]->GetText()};
}

void CPropertiesDlg::SelectTempo(bool destination) {
    CMdcText* tempo = (destination ? m_destination : m_source)[3];
    tempo->setFocus();
    tempo->selectAll();
}

PropertiesForm CPropertiesDlg::GetForm() const {
    return {ReadColumn(m_source), ReadColumn(m_destination)};
}

} // namespace korvane
