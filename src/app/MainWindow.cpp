#include "app/MainWindow.h"

#include "app/controls/CommandButton.h"
#include "app/controls/ControlColour.h"
#include "app/controls/LabelControl.h"
#include "assignment/ModelCatalogue.h"
#include "assignment/OpenCommand.h"
#include "assignment/SaveCommand.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <filesystem>

// The window icon is compiled into the GUI library; a static library's resources must be pulled in
// by name, from outside any namespace.
static void InitialiseWindowResources() {
    Q_INIT_RESOURCE(korvane);
}

namespace korvane {

namespace {

// The window's size in dialog units, below the menu bar.
constexpr int kWidthUnits = 338;
constexpr int kHeightUnits = 310;

// The top of each row of the three columns, in dialog units.
constexpr std::array<int, kSlotCount> kRowTop = {58,  71,  85,  99,  113, 127, 141, 155,
                                                 169, 183, 197, 211, 225, 239, 253, 267};

constexpr std::uint32_t kDialogBackground = colours::kDialogBackground.ToControlValue();
constexpr std::uint32_t kButtonBackground = colours::kButtonBackground.ToControlValue();
constexpr std::uint32_t kButtonGreyBackground = colours::kButtonGreyBackground.ToControlValue();
constexpr std::uint32_t kButtonText = colours::kButtonOnText.ToControlValue();
constexpr std::uint32_t kBlack = colours::kBlack.ToControlValue();

const char* const kNotAvailable = "This command is not available yet.";

// Rounds like the platform's MulDiv, which the dialog-unit conversion is defined by.
int MultiplyDivide(int value, int numerator, int denominator) {
    return (value * numerator + denominator / 2) / denominator;
}

std::string CurrentFolder() {
    std::error_code error;
    return std::filesystem::current_path(error).string();
}

} // namespace

CMainDlg::CMainDlg() : CMainDlg(nullptr, nullptr, CurrentFolder()) {}

CMainDlg::CMainDlg(IMessageBox& messages, IFileDialogs& fileDialogs, const std::string& startFolder)
    : CMainDlg(&messages, &fileDialogs, startFolder) {}

CMainDlg::CMainDlg(IMessageBox* messages, IFileDialogs* fileDialogs, const std::string& startFolder)
    : m_qtMessages(this), m_qtFileDialogs(this),
      m_messages(messages ? *messages : static_cast<IMessageBox&>(m_qtMessages)),
      m_fileDialogs(fileDialogs ? *fileDialogs : static_cast<IFileDialogs&>(m_qtFileDialogs)),
      m_table(m_messages) {
    InitialiseWindowResources();
    setWindowTitle(QString::fromLatin1(kTitle));
    // Title bar, system menu, minimise and maximise boxes; the frame does not resize.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);

    QPalette colours = palette();
    colours.setColor(QPalette::Window, ColourFromControlValue(kDialogBackground));
    colours.setColor(QPalette::WindowText, ColourFromControlValue(kBlack));
    setPalette(colours);

    CreateMenu();
    CreateControls();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(m_pMenuBar);
    layout->addWidget(m_pClientArea);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    Initialise(startFolder);
}

CMainDlg::~CMainDlg() = default;

// --- construction -------------------------------------------------------------------------------

QRect CMainDlg::FromDialogUnits(int x, int y, int width, int height) const {
    return QRect(MultiplyDivide(x, m_baseUnitX, 4), MultiplyDivide(y, m_baseUnitY, 8),
                 MultiplyDivide(width, m_baseUnitX, 4), MultiplyDivide(height, m_baseUnitY, 8));
}

CCommandButton* CMainDlg::AddButton(const char* name, const QString& caption, int x, int y,
                                    int width, int height) {
    auto* button = new CCommandButton(caption, m_pClientArea);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(FromDialogUnits(x, y, width, height));
    button->SetBackColour(kButtonBackground);
    button->SetTextColour(kButtonText);
    return button;
}

CLabelControl* CMainDlg::AddLabel(const char* name, int x, int y, int width, int height) {
    auto* label = new CLabelControl(m_pClientArea);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(FromDialogUnits(x, y, width, height));
    return label;
}

void CMainDlg::CreateControls() {
    m_pClientArea = new QWidget(this);
    m_pClientArea->setObjectName(QStringLiteral("clientArea"));
    m_pClientArea->setAutoFillBackground(true);

    // Arial 8 point, or a face with Arial's metrics where Arial is not installed: Qt does not
    // apply fontconfig's metric aliases by itself.
    QFont dialogFont;
    dialogFont.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                            QStringLiteral("Arimo"), QStringLiteral("Nimbus Sans"),
                            QStringLiteral("Helvetica")});
    dialogFont.setPointSize(8);
    dialogFont.setStyleHint(QFont::SansSerif);
    m_pClientArea->setFont(dialogFont);

    // Dialog units: a quarter of the average width of the letters and an eighth of the height of
    // the dialog font.
    const QFontMetrics metrics(m_pClientArea->font());
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    m_baseUnitX = (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
    m_baseUnitY = metrics.height();
    m_pClientArea->setFixedSize(FromDialogUnits(0, 0, kWidthUnits, kHeightUnits).size());

    // The sunken panels come first so that the buttons placed on them lie above them.
    auto* exitPanel = AddLabel("exitPanel", 253, 58, 64, 28);
    m_pAuditionLabel = AddLabel("auditionLabel", 253, 90, 63, 39);
    auto* commandPanel = AddLabel("commandPanel", 253, 132, 64, 148);
    for (CLabelControl* panel : {exitPanel, m_pAuditionLabel, commandPanel}) {
        panel->SetBackColour(kBlack);
        panel->SetTextColour(kBlack);
        panel->SetSunken(true);
    }
    m_pAuditionLabel->SetCaption("Audition");
    m_pAuditionLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    m_pOpenButton = AddButton("openButton", QStringLiteral("Open"), 21, 9, 52, 15);

    m_pModelSelector = new QComboBox(m_pClientArea);
    m_pModelSelector->setObjectName(QStringLiteral("modelSelector"));
    const QRect selector = FromDialogUnits(89, 9, 54, 12);
    m_pModelSelector->setGeometry(selector.x(), selector.y(), selector.width(),
                                  m_pModelSelector->sizeHint().height());

    m_pFileNameLabel = AddLabel("fileNameLabel", 21, 27, 119, 12);
    m_pFileNameLabel->SetTextColour(kButtonText);
    m_pFileNameLabel->SetBackColour(kDialogBackground);

    auto* autoConvert =
        AddButton("autoConvertButton", QStringLiteral("Auto Convert"), 174, 17, 70, 16);
    auto* storePattern =
        AddButton("storePatternButton", QStringLiteral("Store Pattern"), 174, 37, 70, 16);

    for (int row = 0; row < kSlotCount; ++row) {
        const int y = kRowTop[row];
        const std::string number = std::to_string(row);
        m_pSources[row] = AddLabel(("sourceLabel" + number).c_str(), 21, y, 48, 12);
        m_pDestinations[row] = AddLabel(("destinationLabel" + number).c_str(), 87, y, 48, 12);
        m_pAssignments[row] = AddLabel(("assignmentLabel" + number).c_str(), 138, y, 107, 12);
        for (CLabelControl* label : {m_pSources[row], m_pDestinations[row], m_pAssignments[row]}) {
            label->SetBackColour(kBlack);
            label->SetSunken(true);
        }
        connect(m_pSources[row], &CLabelControl::clicked, this,
                [this, row] { OnSourceLabelClick(row); });
        connect(m_pDestinations[row], &CLabelControl::clicked, this,
                [this, row] { OnDestinationLabelClick(row); });
    }

    m_pExitButton = AddButton("exitButton", QStringLiteral("Exit"), 256, 64, 58, 16);
    // The Exit button is the dialog's OK: Enter presses it.
    m_pExitButton->setDefault(true);

    m_pPlayButton = new CCommandButton(CCommandButton::Picture::Play, m_pClientArea);
    m_pPauseButton = new CCommandButton(CCommandButton::Picture::Pause, m_pClientArea);
    m_pStopButton = new CCommandButton(CCommandButton::Picture::Stop, m_pClientArea);
    m_pPlayButton->setObjectName(QStringLiteral("playButton"));
    m_pPauseButton->setObjectName(QStringLiteral("pauseButton"));
    m_pStopButton->setObjectName(QStringLiteral("stopButton"));
    m_pPlayButton->setGeometry(FromDialogUnits(256, 104, 18, 16));
    m_pPauseButton->setGeometry(FromDialogUnits(276, 104, 17, 16));
    m_pStopButton->setGeometry(FromDialogUnits(295, 104, 18, 16));
    for (CCommandButton* button : {m_pPlayButton, m_pPauseButton, m_pStopButton}) {
        button->SetTextColour(kButtonText);
    }

    auto* save = AddButton("saveButton", QStringLiteral("Save"), 256, 139, 58, 16);
    auto* properties =
        AddButton("propertiesButton", QStringLiteral("Properties"), 256, 159, 58, 16);
    auto* help = AddButton("helpButton", QStringLiteral("Help"), 256, 179, 58, 16);
    auto* preferences =
        AddButton("preferencesButton", QStringLiteral("Preferences"), 256, 199, 58, 16);
    auto* voices = AddButton("voicesButton", QStringLiteral("Voices"), 256, 219, 58, 16);
    auto* copyAll = AddButton("copyAllButton", QStringLiteral("Copy All"), 256, 238, 58, 16);
    auto* clear = AddButton("clearButton", QStringLiteral("Clear"), 256, 257, 58, 16);

    m_pSwitchedButtons[int(SwitchedButton::Save)] = save;
    m_pSwitchedButtons[int(SwitchedButton::Clear)] = clear;
    m_pSwitchedButtons[int(SwitchedButton::Properties)] = properties;
    m_pSwitchedButtons[int(SwitchedButton::Voices)] = voices;
    m_pSwitchedButtons[int(SwitchedButton::CopyAll)] = copyAll;
    m_pSwitchedButtons[int(SwitchedButton::StorePattern)] = storePattern;

    connect(m_pOpenButton, &QPushButton::clicked, this, &CMainDlg::OnOpen);
    connect(save, &QPushButton::clicked, this, &CMainDlg::OnSave);
    connect(m_pExitButton, &QPushButton::clicked, this, &CMainDlg::OnExit);
    connect(copyAll, &QPushButton::clicked, this, &CMainDlg::OnCopyAll);
    connect(clear, &QPushButton::clicked, this, &CMainDlg::OnClear);
    connect(voices, &QPushButton::clicked, this, &CMainDlg::OnVoices);
    connect(properties, &QPushButton::clicked, this, &CMainDlg::OnProperties);
    connect(preferences, &QPushButton::clicked, this, &CMainDlg::OnPreferences);
    connect(storePattern, &QPushButton::clicked, this, &CMainDlg::OnStorePattern);
    connect(autoConvert, &QPushButton::clicked, this, &CMainDlg::OnAutoConvert);
    connect(help, &QPushButton::clicked, this, &CMainDlg::OnHelpContents);
    connect(m_pPlayButton, &QPushButton::clicked, this, &CMainDlg::OnAuditionPlay);
    connect(m_pPauseButton, &QPushButton::clicked, this, &CMainDlg::OnAuditionPause);
    connect(m_pStopButton, &QPushButton::clicked, this, &CMainDlg::OnAuditionStop);
    connect(m_pModelSelector, &QComboBox::currentIndexChanged, this, &CMainDlg::OnModelChange);

    // X11 window managers offer no system menu to extend, so the About entry is the client area's
    // context menu.
    auto* aboutEntry = new QAction(QStringLiteral("&About Korvane..."), m_pClientArea);
    aboutEntry->setObjectName(QStringLiteral("systemAboutAction"));
    connect(aboutEntry, &QAction::triggered, this, &CMainDlg::OnAbout);
    m_pClientArea->addAction(aboutEntry);
    m_pClientArea->setContextMenuPolicy(Qt::ActionsContextMenu);
}

QAction* CMainDlg::AddMenuItem(QMenu* menu, const char* name, const QString& text) {
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

void CMainDlg::CreateMenu() {
    m_pMenuBar = new QMenuBar(this);
    m_pMenuBar->setObjectName(QStringLiteral("menuBar"));
    // The menu bar keeps the desktop's colours; only the dialog is teal.
    const QPalette desktop = QApplication::palette();
    QPalette menuColours = m_pMenuBar->palette();
    menuColours.setColor(QPalette::Window, desktop.color(QPalette::Window));
    menuColours.setColor(QPalette::WindowText, desktop.color(QPalette::WindowText));
    m_pMenuBar->setPalette(menuColours);

    QMenu* file = m_pMenuBar->addMenu(QStringLiteral("File"));
    connect(AddMenuItem(file, "openAction", QStringLiteral("&Open")), &QAction::triggered, this,
            &CMainDlg::OnOpen);
    file->addSeparator();
    connect(AddMenuItem(file, "saveAction", QStringLiteral("&Save style")), &QAction::triggered,
            this, &CMainDlg::OnSave);
    file->addSeparator();
    // Open keeps no list of recent files; the entry is shown, disabled.
    AddMenuItem(file, "recentFilesAction", QStringLiteral("&Recent files"))->setEnabled(false);
    file->addSeparator();
    connect(AddMenuItem(file, "exitAction", QStringLiteral("E&xit")), &QAction::triggered, this,
            &CMainDlg::OnExit);

    QMenu* edit = m_pMenuBar->addMenu(QStringLiteral("&Edit"));
    connect(AddMenuItem(edit, "copyAllAction", QStringLiteral("&Copy All")), &QAction::triggered,
            this, &CMainDlg::OnCopyAll);
    connect(AddMenuItem(edit, "clearAction", QStringLiteral("C&lear")), &QAction::triggered, this,
            &CMainDlg::OnClear);
    edit->addSeparator();
    // Convert has no command: choosing it does nothing.
    AddMenuItem(edit, "convertAction", QStringLiteral("Con&vert"));

    QMenu* view = m_pMenuBar->addMenu(QStringLiteral("&View"));
    connect(AddMenuItem(view, "voicesAction", QStringLiteral("Voices")), &QAction::triggered, this,
            &CMainDlg::OnVoices);
    connect(AddMenuItem(view, "propertiesAction", QStringLiteral("&Properties")),
            &QAction::triggered, this, &CMainDlg::OnProperties);
    view->addSeparator();
    connect(AddMenuItem(view, "conversionsAction", QStringLiteral("&Conversions")),
            &QAction::triggered, this, &CMainDlg::OnConversions);
    view->addSeparator();
    connect(AddMenuItem(view, "preferencesAction", QStringLiteral("Preferences")),
            &QAction::triggered, this, &CMainDlg::OnPreferences);

    QMenu* help = m_pMenuBar->addMenu(QStringLiteral("&Help"));
    connect(AddMenuItem(help, "contentsAction", QStringLiteral("&Contents")), &QAction::triggered,
            this, &CMainDlg::OnHelpContents);
    connect(AddMenuItem(help, "searchAction", QStringLiteral("&Search...")), &QAction::triggered,
            this, &CMainDlg::OnHelpSearch);
    connect(AddMenuItem(help, "indexAction", QStringLiteral("&Index...")), &QAction::triggered,
            this, &CMainDlg::OnHelpIndex);
    help->addSeparator();
    connect(AddMenuItem(help, "aboutAction", QStringLiteral("&About Korvane")), &QAction::triggered,
            this, &CMainDlg::OnAbout);
}

void CMainDlg::Initialise(const std::string& startFolder) {
    setWindowIcon(QIcon(QStringLiteral(":/korvane/korvane.png")));

    LoadSettings(m_settings, startFolder);

    {
        const QSignalBlocker quiet(m_pModelSelector);
        const std::string catalogue = ModelCatalogueText();
        std::size_t begin = 0;
        for (std::size_t end = catalogue.find('\n'); end != std::string::npos;
             begin = end + 1, end = catalogue.find('\n', begin)) {
            if (end > begin) {
                const std::string name = catalogue.substr(begin, end - begin);
                m_pModelSelector->addItem(
                    QString::fromLocal8Bit(name.data(), qsizetype(name.size())));
            }
        }
    }

    m_table.SelectModel(m_settings.defaultModel);
    // Clear shows the selected model's layout and switches the buttons off.
    m_table.Clear();
    Render();
    m_pOpenButton->setFocus();
}

// --- drawing ------------------------------------------------------------------------------------

void CMainDlg::Render() {
    for (int row = 0; row < kSlotCount; ++row) {
        const LabelState& source = m_table.GetSourceLabel(row);
        m_pSources[row]->SetCaption(source.caption);
        m_pSources[row]->SetTextColour(source.textColour.ToControlValue());
        const LabelState& destination = m_table.GetDestinationLabel(row);
        m_pDestinations[row]->SetCaption(destination.caption);
        m_pDestinations[row]->SetTextColour(destination.textColour.ToControlValue());
        const LabelState& assignment = m_table.GetAssignmentLabel(row);
        m_pAssignments[row]->SetCaption(assignment.caption);
        m_pAssignments[row]->SetTextColour(assignment.textColour.ToControlValue());
    }
    m_pFileNameLabel->SetCaption(m_table.GetFileNameLabel());
    // An SFF2 style converted as it was read tells what the conversion left out.
    const CConversionReport* report = m_table.GetDocument().GetConversionReport();
    const std::string tip = report ? report->GetText() : std::string();
    m_pFileNameLabel->setToolTip(QString::fromLocal8Bit(tip.data(), qsizetype(tip.size())));
    m_pAuditionLabel->SetTextColour(m_table.GetAuditionLabelColour().ToControlValue());

    for (int button = 0; button < kSwitchedButtonCount; ++button) {
        m_pSwitchedButtons[button]->SetButtonState(m_table.IsButtonOn(SwitchedButton(button)));
    }

    // The audition buttons are switched as windows, each with its background. Until a player
    // runs, Pause and Stop stay as Open and Clear leave them: off.
    const bool play = m_table.IsPlayEnabled();
    m_pPlayButton->setEnabled(play);
    m_pPlayButton->SetBackColour(play ? kButtonBackground : kButtonGreyBackground);
    for (CCommandButton* button : {m_pPauseButton, m_pStopButton}) {
        button->setEnabled(false);
        button->SetBackColour(kButtonGreyBackground);
    }

    const QSignalBlocker quiet(m_pModelSelector);
    const int model = m_table.GetSelectedModel();
    m_pModelSelector->setCurrentIndex(model < m_pModelSelector->count() ? model : -1);
}

void CMainDlg::ShowNotAvailable() {
    m_messages.Show(kNotAvailable, "Korvane", MessageIcon::Information, MessageButtons::Ok);
}

// --- commands -----------------------------------------------------------------------------------

void CMainDlg::OnOpen() {
    RunOpenCommand(m_table, m_settings, m_fileDialogs);
    Render();
}

void CMainDlg::OnSave() {
    RunSaveCommand(m_table, m_settings, m_fileDialogs);
    Render();
}

void CMainDlg::OnExit() {
    accept();
}

void CMainDlg::OnCopyAll() {
    m_table.CopyAll();
    Render();
}

void CMainDlg::OnClear() {
    m_table.Clear();
    Render();
}

void CMainDlg::OnSourceLabelClick(int row) {
    m_table.ClickSource(row);
    Render();
}

void CMainDlg::OnDestinationLabelClick(int slot) {
    m_table.ClickDestination(slot);
    Render();
}

void CMainDlg::OnModelChange(int modelIndex) {
    m_table.RequestModelChange(modelIndex);
    Render();
}

void CMainDlg::OnAbout() {
    m_messages.Show(kTitle, "About Korvane", MessageIcon::Information, MessageButtons::Ok);
}

// Commands still to come; each is wired and answers that it is not there yet.
void CMainDlg::OnVoices() {
    ShowNotAvailable();
}

void CMainDlg::OnProperties() {
    ShowNotAvailable();
}

void CMainDlg::OnConversions() {
    ShowNotAvailable();
}

void CMainDlg::OnPreferences() {
    ShowNotAvailable();
}

void CMainDlg::OnStorePattern() {
    ShowNotAvailable();
}

void CMainDlg::OnAutoConvert() {
    ShowNotAvailable();
}

void CMainDlg::OnHelpContents() {
    ShowNotAvailable();
}

void CMainDlg::OnHelpSearch() {
    ShowNotAvailable();
}

void CMainDlg::OnHelpIndex() {
    ShowNotAvailable();
}

void CMainDlg::OnAuditionPlay() {
    ShowNotAvailable();
}

void CMainDlg::OnAuditionPause() {
    ShowNotAvailable();
}

void CMainDlg::OnAuditionStop() {
    ShowNotAvailable();
}

} // namespace korvane
