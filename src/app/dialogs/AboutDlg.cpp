#include "app/dialogs/AboutDlg.h"

#include "app/dialogs/DialogLabel.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

namespace korvane {

namespace {

constexpr Colour kCaptionText{255, 255, 128};
constexpr Colour kCaptionBack{64, 128, 128};

struct AboutLine {
    const char* name;
    const char* text;
};

// Top to bottom; the release and service pack first, a gap, then the credits.
constexpr std::array<AboutLine, 7> kLines = {{
    {"releaseLabel", "Korvane Release 1.1"},
    {"servicePackLabel", "Service Pack 1"},
    {"designCredit", "Design: the Korvane project"},
    {"developmentCredit", "Development: the Korvane developers"},
    {"innovationCredit", "Built on Qt, CLI11 and FluidSynth"},
    {"licenceLabel", "Licence: GNU GPL, version 3 or later"},
    {"commandLineLabel", "Command line: korvane-cli --help"},
}};

} // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(QStringLiteral("About Korvane"));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("aboutIcon"));
    icon->setPixmap(QIcon(QStringLiteral(":/korvane/korvane.png")).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);

    auto* lines = new QVBoxLayout;
    for (std::size_t i = 0; i < kLines.size(); ++i) {
        if (i == 2)
            lines->addSpacing(fontMetrics().height());
        auto* label =
            MakeDialogLabel(this, kLines[i].name, kLines[i].text, kCaptionText, kCaptionBack);
        label->setMinimumWidth(
            fontMetrics().horizontalAdvance(QString::fromLatin1(kLines[i].text)) + 8);
        lines->addWidget(label);
    }
    lines->addStretch();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, Qt::Vertical, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(icon, 0, 0, Qt::AlignTop);
    layout->addLayout(lines, 0, 1);
    layout->addWidget(buttons, 0, 2, Qt::AlignTop);
    layout->setHorizontalSpacing(16);
}

} // namespace korvane
