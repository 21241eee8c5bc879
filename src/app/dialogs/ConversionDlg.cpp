#include "app/dialogs/ConversionDlg.h"

#include "app/controls/ControlColour.h"
#include "app/controls/LabelControl.h"
#include "app/controls/MdcText.h"
#include "assignment/Colours.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvane {

namespace {

CLabelControl* AddCell(QWidget* parent, const QString& name, const std::string& caption) {
    auto* cell = new CLabelControl(parent);
    cell->setObjectName(name);
    cell->SetCaption(caption);
    cell->SetBackColour(colours::kBlack.ToControlValue());
    cell->SetTextColour(colours::kDestinationPlain.ToControlValue());
    cell->SetSunken(true);
    cell->setMinimumWidth(130);
    return cell;
}

} // namespace

CConversionDlg::CConversionDlg(const ConversionFolders& folders, const ConversionPattern& pattern,
                               bool overwrite, bool entireFolder, IFolderBrowser& browser,
                               QWidget* parent)
    : QDialog(parent), m_browser(browser) {
    setObjectName(QStringLiteral("conversionDialog"));
    setWindowTitle(QString::fromLatin1(kCaption));

    auto* folderGrid = new QGridLayout;
    auto addFolderRow = [&](int row, const char* caption, const char* editName,
                            const char* buttonName, const std::string& value) {
        folderGrid->addWidget(new QLabel(QString::fromLatin1(caption), this), row, 0);
        // A folder keeps its bytes unless the user types in the box.
        auto* edit = new CMdcText(this);
        edit->SetText(value);
        edit->setObjectName(QString::fromLatin1(editName));
        edit->setMinimumWidth(280);
        folderGrid->addWidget(edit, row, 1);
        auto* button = new QPushButton(QStringLiteral("Browse.."), this);
        button->setObjectName(QString::fromLatin1(buttonName));
        button->setAutoDefault(false);
        folderGrid->addWidget(button, row, 2);
        return std::pair{edit, button};
    };
    auto [fromEdit, browseFrom] =
        addFolderRow(0, "Convert from folder:", "fromFolderEdit", "browseFromButton", folders.from);
    auto [toEdit, browseTo] =
        addFolderRow(1, "Convert to folder:", "toFolderEdit", "browseToButton", folders.to);
    m_pFromEdit = fromEdit;
    m_pToEdit = toEdit;
    connect(browseFrom, &QPushButton::clicked, this, &CConversionDlg::OnBrowseFrom);
    connect(browseTo, &QPushButton::clicked, this, &CConversionDlg::OnBrowseTo);

    // The pattern in two columns of eight steps, each step its number, From and To cell.
    auto* patternGrid = new QGridLayout;
    patternGrid->setHorizontalSpacing(4);
    patternGrid->setVerticalSpacing(2);
    for (int half = 0; half < 2; ++half) {
        patternGrid->addWidget(new QLabel(QStringLiteral(" From"), this), 0, half * 4 + 1);
        patternGrid->addWidget(new QLabel(QStringLiteral(" To"), this), 0, half * 4 + 2);
    }
    for (int step = 0; step < kSlotCount; ++step) {
        const int row = step % 8 + 1;
        const int column = step / 8 * 4;
        auto* number = new QLabel(QString::number(step + 1), this);
        number->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        patternGrid->addWidget(number, row, column);
        patternGrid->addWidget(
            AddCell(this, QStringLiteral("fromCell%1").arg(step), " " + pattern[step].from), row,
            column + 1);
        patternGrid->addWidget(
            AddCell(this, QStringLiteral("toCell%1").arg(step), " " + pattern[step].to), row,
            column + 2);
        if (column == 0)
            patternGrid->setColumnMinimumWidth(3, 12);
    }

    m_pOverwrite =
        new QCheckBox(QStringLiteral("&Overwrite files that exist in the to folder"), this);
    m_pOverwrite->setObjectName(QStringLiteral("overwriteCheck"));
    m_pOverwrite->setChecked(overwrite);
    m_pEntireFolder = new QCheckBox(QStringLiteral("Convert the &entire from folder"), this);
    m_pEntireFolder->setObjectName(QStringLiteral("entireFolderCheck"));
    m_pEntireFolder->setChecked(entireFolder);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(folderGrid);
    layout->addSpacing(6);
    layout->addLayout(patternGrid);
    layout->addSpacing(6);
    layout->addWidget(m_pOverwrite);
    layout->addWidget(m_pEntireFolder);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

ConversionFolders CConversionDlg::GetFolders() const {
    return {m_pFromEdit->GetText(), m_pToEdit->GetText()};
}

bool CConversionDlg::GetOverwrite() const {
    return m_pOverwrite->isChecked();
}

bool CConversionDlg::GetEntireFolder() const {
    return m_pEntireFolder->isChecked();
}

void CConversionDlg::Browse(const char* title, CMdcText* edit) {
    std::string folder = edit->GetText();
    if (BrowseConversionFolder(m_browser, title, folder))
        edit->SetText(folder);
}

void CConversionDlg::OnBrowseFrom() {
    Browse(kBrowseFromTitle, m_pFromEdit);
}

void CConversionDlg::OnBrowseTo() {
    Browse(kBrowseToTitle, m_pToEdit);
}

} // namespace korvane
