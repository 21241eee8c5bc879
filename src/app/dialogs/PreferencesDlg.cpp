#include "app/dialogs/PreferencesDlg.h"

#include "app/controls/MdcText.h"
#include "app/dialogs/DialogLabel.h"
#include "assignment/ModelCatalogue.h"
#include "platform/DisplayText.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvane {

namespace {

constexpr Colour kCaptionText{255, 255, 128};
constexpr Colour kCaptionBack{64, 128, 128};

CMdcText* MakeBox(QWidget* parent, const char* name, const std::string& text) {
    auto* box = new CMdcText(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->SetText(text);
    return box;
}

// A caption as wide as its text, so that no layout squeezes it.
CLabelControl* MakeCaption(QWidget* parent, const char* name, const char* caption, Colour text,
                           Colour back) {
    CLabelControl* label = MakeDialogLabel(parent, name, caption, text, back);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QString::fromLatin1(caption)) +
                           2 * label->fontMetrics().averageCharWidth());
    return label;
}

QPushButton* MakeBrowseButton(QWidget* parent, const char* name) {
    auto* button = new QPushButton(QStringLiteral("Browse..."), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

} // namespace

CPreferencesDlg::CPreferencesDlg(const PreferencesValues& values,
                                 const std::vector<AuditionOutputChoice>& outputs,
                                 IFolderBrowser& folderBrowser, IFileDialogs& fileDialogs,
                                 QWidget* parent)
    : QDialog(parent), m_folderBrowser(folderBrowser), m_fileDialogs(fileDialogs),
      m_outputs(outputs), m_drivers(AudioDriverChoices(values.audioDriver)) {
    setObjectName(QStringLiteral("preferencesDialog"));
    setWindowTitle(QStringLiteral("Preferences"));

    m_pModelList = new QComboBox(this);
    m_pModelList->setObjectName(QStringLiteral("modelList"));
    for (const std::string& name : ModelNames())
        m_pModelList->addItem(QString::fromLocal8Bit(name.data(), qsizetype(name.size())));
    // The list opens on the current default model, so OK without touching it keeps that model.
    if (values.model >= 0 && values.model < m_pModelList->count())
        m_pModelList->setCurrentIndex(values.model);

    m_pStyleLocation = MakeBox(this, "styleLocationBox", values.styleLocation);
    m_pAuditionLocation = MakeBox(this, "auditionLocationBox", values.auditionLocation);
    m_pOutputList = new QComboBox(this);
    m_pOutputList->setObjectName(QStringLiteral("auditionOutputList"));
    for (const AuditionOutputChoice& output : m_outputs) {
        m_pOutputList->addItem(QString::fromStdString(DisplayUtf8(output.text)));
        if (output.value == values.auditionOutput)
            m_pOutputList->setCurrentIndex(m_pOutputList->count() - 1);
    }
    m_pDriverList = new QComboBox(this);
    m_pDriverList->setObjectName(QStringLiteral("audioDriverList"));
    for (const AuditionOutputChoice& driver : m_drivers) {
        m_pDriverList->addItem(QString::fromStdString(DisplayUtf8(driver.text)));
        if (driver.value == values.audioDriver)
            m_pDriverList->setCurrentIndex(m_pDriverList->count() - 1);
    }
    m_pSoundfont = MakeBox(this, "soundfontBox", values.soundfont);
    auto* browseSoundfont = MakeBrowseButton(this, "browseSoundfontButton");
    connect(browseSoundfont, &QPushButton::clicked, this, &CPreferencesDlg::OnBrowseSoundfont);
    m_pRecentListSize = MakeBox(this, "recentListSizeBox", values.recentListSize);
    m_pRecentListSize->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000000")));
    auto* browseStyle = MakeBrowseButton(this, "browseStyleButton");
    auto* browseAudition = MakeBrowseButton(this, "browseAuditionButton");
    connect(browseStyle, &QPushButton::clicked, this, &CPreferencesDlg::OnBrowseStyleLocation);
    connect(browseAudition, &QPushButton::clicked, this,
            &CPreferencesDlg::OnBrowseAuditionLocation);

    auto* grid = new QGridLayout;
    int row = 0;
    grid->addWidget(
        MakeCaption(this, "modelCaption", "Default PSR model:", kCaptionText, kCaptionBack), row,
        0);
    grid->addWidget(m_pModelList, row++, 1, Qt::AlignLeft);
    grid->addWidget(MakeCaption(this, "styleLocationCaption",
                                "Default style location:", kCaptionText, kCaptionBack),
                    row++, 0, 1, 2);
    grid->addWidget(m_pStyleLocation, row, 0, 1, 2);
    grid->addWidget(browseStyle, row++, 2);
    grid->addWidget(MakeCaption(this, "auditionLocationCaption",
                                "MCI temporary audition location:", kCaptionText, kCaptionBack),
                    row++, 0, 1, 2);
    grid->addWidget(m_pAuditionLocation, row, 0, 1, 2);
    grid->addWidget(browseAudition, row++, 2);
    grid->addWidget(
        MakeCaption(this, "auditionOutputCaption", "Audition output:", kCaptionText, kCaptionBack),
        row++, 0, 1, 2);
    grid->addWidget(m_pOutputList, row++, 0, 1, 2);
    grid->addWidget(
        MakeCaption(this, "audioDriverCaption", "Audio driver:", kCaptionText, kCaptionBack), row++,
        0, 1, 2);
    grid->addWidget(m_pDriverList, row++, 0, 1, 2);
    grid->addWidget(MakeCaption(this, "soundfontCaption", "Soundfont:", kCaptionText, kCaptionBack),
                    row++, 0, 1, 2);
    grid->addWidget(m_pSoundfont, row, 0, 1, 2);
    grid->addWidget(browseSoundfont, row++, 2);

    auto* recent = new QHBoxLayout;
    recent->addWidget(MakeCaption(this, "recentListCaption", "Recent file list contains",
                                  kCaptionText, kCaptionBack));
    recent->addWidget(m_pRecentListSize);
    recent->addWidget(
        MakeCaption(this, "recentListEntries", "entries", kCaptionText, kCaptionBack));
    recent->addStretch();
    grid->addLayout(recent, row++, 0, 1, 3);
    grid->setColumnMinimumWidth(1, 180);

    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Vertical, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(grid);
    auto* side = new QVBoxLayout;
    side->addWidget(buttons);
    side->addStretch();
    layout->addLayout(side);

    // Tab goes through the boxes as they stand on screen, each Browse right after its box.
    QWidget* const order[] = {m_pModelList,        m_pStyleLocation, browseStyle,
                              m_pAuditionLocation, browseAudition,   m_pOutputList,
                              m_pDriverList,       m_pSoundfont,     browseSoundfont,
                              m_pRecentListSize,   buttons};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

PreferencesValues CPreferencesDlg::GetValues() const {
    PreferencesValues values{m_pModelList->currentIndex(),
                             m_pStyleLocation->GetText(),
                             m_pAuditionLocation->GetText(),
                             m_pRecentListSize->GetText(),
                             kBuiltInSynthesizer,
                             m_pSoundfont->GetText(),
                             std::string()};
    const int output = m_pOutputList->currentIndex();
    if (output >= 0 && output < int(m_outputs.size()))
        values.auditionOutput = m_outputs[std::size_t(output)].value;
    const int driver = m_pDriverList->currentIndex();
    if (driver >= 0 && driver < int(m_drivers.size()))
        values.audioDriver = m_drivers[std::size_t(driver)].value;
    return values;
}

void CPreferencesDlg::OnBrowseStyleLocation() {
    const std::string current = m_pStyleLocation->GetText();
    m_pStyleLocation->SetText(BrowsedFolderOr(
        m_folderBrowser.BrowseForFolder(kStyleFolderBrowserTitle, current), current));
}

void CPreferencesDlg::OnBrowseAuditionLocation() {
    const std::string current = m_pAuditionLocation->GetText();
    m_pAuditionLocation->SetText(BrowsedFolderOr(
        m_folderBrowser.BrowseForFolder(kAuditionFolderBrowserTitle, current), current));
}

void CPreferencesDlg::OnBrowseSoundfont() {
    const std::string current = m_pSoundfont->GetText();
    m_pSoundfont->SetText(BrowsedFolderOr(
        m_fileDialogs.GetOpenFileName(SoundfontBrowseFolder(current), SoundfontFileFilters()),
        current));
}

} // namespace korvane
