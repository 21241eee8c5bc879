#include "app/MainWindow.h"

#include "app/controls/CommandButton.h"
#include "app/controls/ControlColour.h"
#include "app/controls/LabelControl.h"
#include "app/dialogs/AboutDlg.h"
#include "app/dialogs/ConversionDlg.h"
#include "app/dialogs/PreferencesDlg.h"
#include "app/dialogs/PropertiesDlg.h"
#include "app/dialogs/VoicesDlg.h"
#include "app/pictures/SectionLabels.h"
#include "assignment/DroppedFiles.h"
#include "assignment/ModelCatalogue.h"
#include "assignment/OpenCommand.h"
#include "assignment/SaveCommand.h"
#include "audition/AudioModule.h"
#include "batch/FolderConversion.h"
#include "patterns/AutoConvert.h"
#include "patterns/ConversionPattern.h"
#include "platform/DisplayText.h"
#include "platform/Paths.h"
#include "settings/Preferences.h"
#include "style/PropertiesForm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QScopedValueRollback>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QWindow>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

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

// Rounds like the platform's MulDiv, which the dialog-unit conversion is defined by.
int MultiplyDivide(int value, int numerator, int denominator) {
    return (value * numerator + denominator / 2) / denominator;
}

std::string CurrentFolder() {
    std::error_code error;
    return std::filesystem::current_path(error).string();
}

} // namespace

CMainDlg::CMainDlg() : CMainDlg(nullptr, nullptr, nullptr, CurrentFolder()) {}

CMainDlg::CMainDlg(IMessageBox& messages, IFileDialogs& fileDialogs, const std::string& startFolder)
    : CMainDlg(&messages, &fileDialogs, nullptr, startFolder) {}

CMainDlg::CMainDlg(IMessageBox& messages, IFileDialogs& fileDialogs, IFolderBrowser& folderBrowser,
                   const std::string& startFolder)
    : CMainDlg(&messages, &fileDialogs, &folderBrowser, startFolder) {}

CMainDlg::CMainDlg(IMessageBox* messages, IFileDialogs* fileDialogs, IFolderBrowser* folderBrowser,
                   const std::string& startFolder)
    : m_qtMessages(this), m_qtFileDialogs(this), m_qtFolderBrowser(this),
      m_messages(messages ? *messages : static_cast<IMessageBox&>(m_qtMessages)),
      m_fileDialogs(fileDialogs ? *fileDialogs : static_cast<IFileDialogs&>(m_qtFileDialogs)),
      m_pFolderBrowser(folderBrowser ? folderBrowser : &m_qtFolderBrowser),
      m_listOutputPorts(ListOutputPorts), m_table(m_messages), m_settingsSequencer(m_settings),
      m_audition(m_table, m_settings, m_settingsSequencer) {
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
    m_pStatusBar = new QStatusBar(this);
    m_pStatusBar->setObjectName(QStringLiteral("statusBar"));
    m_pStatusBar->setSizeGripEnabled(false);
    m_pStatusBar->setPalette(m_pMenuBar->palette());
    m_pStatusBar->setAutoFillBackground(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(m_pMenuBar);
    layout->addWidget(m_pClientArea);
    layout->addWidget(m_pStatusBar);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    Initialise(startFolder);
    // F1 in any dialog or message box of the program opens that dialog's help page.
    qApp->installEventFilter(this);
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

    m_pSectionLabels = new CSectionLabels(m_table, this);
    m_pSectionLabels->SetVoiceNames(
        [](const CStyleSection& section) { return SectionVoiceNames(section); });
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
        // Their arrow and Tab keys are taken by the window's event filter.
        m_pSources[row]->SetKeyboardClickable();
        m_pDestinations[row]->SetKeyboardClickable();
        m_pSources[row]->SetDragSource();
        connect(m_pSources[row], &CLabelControl::dragStarted, this,
                [this, row] { StartSectionDrag(row); });
        m_pDestinations[row]->SetDropTarget(QString::fromLatin1(kSectionMimeType));
        connect(m_pDestinations[row], &CLabelControl::dropped, this,
                [this, row](const QByteArray& data) {
                    bool number = false;
                    const int sourceRow = data.toInt(&number);
                    if (number && sourceRow >= 0 && sourceRow < kSlotCount)
                        OnSectionDropped(sourceRow, row);
                });
        m_pSectionLabels->Watch(m_pSources[row], LabelColumn::Source, row);
        m_pSectionLabels->Watch(m_pDestinations[row], LabelColumn::Destination, row);
        m_pSectionLabels->Watch(m_pAssignments[row], LabelColumn::Assignment, row);
        m_pSources[row]->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(m_pSources[row], &QWidget::customContextMenuRequested, this,
                [this, row](const QPoint& at) {
                    if (!SectionAtLabel(m_table, LabelColumn::Source, row))
                        return;
                    QMenu menu(this);
                    menu.addAction(QStringLiteral("Play This Section"), this,
                                   [this, row] { OnPlaySection(row); });
                    menu.exec(m_pSources[row]->mapToGlobal(at));
                });
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

    // Every button says what it does and its key.
    const std::pair<QWidget*, const char*> tips[] = {
        {m_pOpenButton, "Open a style file (Ctrl+O)"},
        {autoConvert, "Convert with the stored pattern"},
        {storePattern, "Store the assignments as the conversion pattern"},
        {m_pExitButton, "Exit Korvane (Ctrl+Q)"},
        {m_pPlayButton, "Play the style being built (Space)"},
        {m_pPauseButton, "Pause (Space)"},
        {m_pStopButton, "Stop"},
        {save, "Save the new style (Ctrl+S)"},
        {properties, "Style properties"},
        {help, "Help (F1)"},
        {preferences, "Preferences"},
        {voices, "Voices and mixer of the parts"},
        {copyAll, "Assign every section to the slot of its row"},
        {clear, "Clear the work (Ctrl+Z undoes it)"},
    };
    for (const auto& [button, tip] : tips)
        button->setToolTip(QString::fromLatin1(tip));

    // Space plays or pauses, except where a text box or a focused section takes the key.
    auto* space = new QShortcut(QKeySequence(Qt::Key_Space), this);
    space->setObjectName(QStringLiteral("playPauseShortcut"));
    connect(space, &QShortcut::activated, this, &CMainDlg::OnPlayOrPause);

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

    QMenu* file = m_pMenuBar->addMenu(QStringLiteral("&File"));
    QAction* open = AddMenuItem(file, "openAction", QStringLiteral("&Open"));
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(open, &QAction::triggered, this, &CMainDlg::OnOpen);
    file->addSeparator();
    QAction* save = AddMenuItem(file, "saveAction", QStringLiteral("&Save style"));
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(save, &QAction::triggered, this, &CMainDlg::OnSave);
    file->addSeparator();
    m_pRecentMenu = file->addMenu(QStringLiteral("&Recent files"));
    m_pRecentMenu->setObjectName(QStringLiteral("recentFilesMenu"));
    m_pRecentMenu->menuAction()->setObjectName(QStringLiteral("recentFilesAction"));
    file->addSeparator();
    QAction* exit = AddMenuItem(file, "exitAction", QStringLiteral("E&xit"));
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(exit, &QAction::triggered, this, &CMainDlg::OnExit);

    QMenu* edit = m_pMenuBar->addMenu(QStringLiteral("&Edit"));
    connect(AddMenuItem(edit, "copyAllAction", QStringLiteral("&Copy All")), &QAction::triggered,
            this, &CMainDlg::OnCopyAll);
    m_pAssignByNameAction =
        AddMenuItem(edit, "assignByNameAction", QStringLiteral("Assign by &Name"));
    connect(m_pAssignByNameAction, &QAction::triggered, this, &CMainDlg::OnAssignByName);
    connect(AddMenuItem(edit, "clearAction", QStringLiteral("C&lear")), &QAction::triggered, this,
            &CMainDlg::OnClear);
    edit->addSeparator();
    QAction* undo = AddMenuItem(edit, "undoAction", QStringLiteral("&Undo"));
    undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    connect(undo, &QAction::triggered, this, &CMainDlg::OnUndo);
    QAction* redo = AddMenuItem(edit, "redoAction", QStringLiteral("&Redo"));
    redo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    connect(redo, &QAction::triggered, this, &CMainDlg::OnRedo);
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
    // F1 opens the contents from the window; in a dialog the event filter opens its own page.
    m_pHelpContentsAction = AddMenuItem(help, "contentsAction", QStringLiteral("&Contents"));
    m_pHelpContentsAction->setShortcut(QKeySequence(Qt::Key_F1));
    connect(m_pHelpContentsAction, &QAction::triggered, this, &CMainDlg::OnHelpContents);
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
    m_recentFiles.Load(m_settings);
    RebuildRecentMenu();
    setAcceptDrops(true);

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
    m_pStatusBar->showMessage(QString::fromStdString(DisplayUtf8(m_table.GetStatusText())));
    m_pAssignByNameAction->setEnabled(m_table.GetDocument().HasSectionList());
    // An SFF2 style converted as it was read tells what the conversion left out.
    const CConversionReport* report = m_table.GetDocument().GetConversionReport();
    m_pFileNameLabel->SetNote(report ? report->GetText() : std::string());
    m_pAuditionLabel->SetTextColour(m_table.GetAuditionLabelColour().ToControlValue());

    for (int button = 0; button < kSwitchedButtonCount; ++button) {
        m_pSwitchedButtons[button]->SetButtonState(m_table.IsButtonOn(SwitchedButton(button)));
    }

    // The audition buttons are switched as windows, each with its background.
    const AuditionButtons audition = m_audition.GetButtons();
    for (auto [button, enabled] :
         {std::pair{m_pPlayButton, audition.play}, std::pair{m_pPauseButton, audition.pause},
          std::pair{m_pStopButton, audition.stop}}) {
        button->setEnabled(enabled);
        button->SetBackColour(enabled ? kButtonBackground : kButtonGreyBackground);
    }

    const QSignalBlocker quiet(m_pModelSelector);
    const int model = m_table.GetSelectedModel();
    m_pModelSelector->setCurrentIndex(model < m_pModelSelector->count() ? model : -1);
}

// --- commands -----------------------------------------------------------------------------------

// An allocation that fails is told like any file error; an exception must not leave a Qt slot.
void CMainDlg::OnOpen() {
    if (const auto path = m_fileDialogs.GetOpenFileName(m_settings.styleFolder, StyleFileFilters()))
        OpenFile(*path);
}

ReadResult CMainDlg::OpenFile(const std::string& path) {
    ReadResult result = ReadResult::Refused;
    try {
        result = OpenStyleFile(m_table, m_settings, path);
    } catch (const std::bad_alloc&) {
        m_table.DropFailedOpen();
        ReportFileError(m_messages,
                        "Not enough memory to open this file.\nCannot process further.");
    }
    if (result == ReadResult::Ok) {
        m_recentFiles.Add(m_settings, path);
        RebuildRecentMenu();
    }
    Render();
    return result;
}

void CMainDlg::OpenFromCommandLine(const std::vector<std::string>& arguments) {
    if (!arguments.empty())
        OpenFile(arguments.front());
}

void CMainDlg::OnRecentFile(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        m_messages.Show(RecentFileMissingText(path), "Sorry...", MessageIcon::Exclamation,
                        MessageButtons::Ok);
        m_recentFiles.Remove(m_settings, path);
        RebuildRecentMenu();
        return;
    }
    OpenFile(path);
}

void CMainDlg::RebuildRecentMenu() {
    m_pRecentMenu->clear();
    const std::vector<std::string>& files = m_recentFiles.GetFiles();
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string& path = files[i];
        // An '&' of the path is doubled so that the menu shows it rather than underlining.
        const QString text = QString::fromStdString(RecentFileNumber(i)) + QLatin1Char(' ') +
                             QString::fromStdString(DisplayUtf8(path))
                                 .replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* action = m_pRecentMenu->addAction(text);
        action->setObjectName(QStringLiteral("recentFile%1").arg(i));
        connect(action, &QAction::triggered, this, [this, path] { OnRecentFile(path); });
    }
    m_pRecentMenu->menuAction()->setEnabled(!files.empty());
}

void CMainDlg::dragEnterEvent(QDragEnterEvent* event) {
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            event->acceptProposedAction();
            return;
        }
    }
}

void CMainDlg::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        // The path's own bytes: a name that is not UTF-8 travels percent-encoded byte by byte.
        if (url.isLocalFile())
            paths.push_back(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1())
                                .toStdString());
    }
    if (paths.empty())
        return;
    event->acceptProposedAction();
    if (OpenFile(paths.front()) == ReadResult::Ok && paths.size() > 1) {
        m_messages.Show(SeveralFilesDroppedText(paths.size(), FileNameOfPath(paths.front())),
                        "Alert...", MessageIcon::Information, MessageButtons::Ok);
    }
}

void CMainDlg::OnSave() {
    try {
        RunSaveCommand(m_table, m_settings, m_fileDialogs);
    } catch (const std::bad_alloc&) {
        ReportFileError(m_messages, "Not enough memory to save this style.\nNo file was changed.");
    }
    Render();
}

void CMainDlg::OnExit() {
    accept();
}

void CMainDlg::done(int result) {
    if (m_table.ConfirmEnd())
        QDialog::done(result);
}

void CMainDlg::OnCopyAll() {
    m_table.CopyAll();
    Render();
}

void CMainDlg::OnAssignByName() {
    m_table.AssignByName();
    Render();
}

void CMainDlg::OnClear() {
    m_table.Clear();
    Render();
}

void CMainDlg::OnUndo() {
    m_table.Undo();
    Render();
}

void CMainDlg::OnRedo() {
    m_table.Redo();
    Render();
}

void CMainDlg::OnSectionDropped(int sourceRow, int slot) {
    m_table.AssignPair(sourceRow, slot);
    Render();
}

void CMainDlg::StartSectionDrag(int sourceRow) {
    if (m_table.GetSourceLabel(sourceRow).caption.empty())
        return;
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kSectionMimeType), QByteArray::number(sourceRow));
    data->setText(m_pSources[sourceRow]->GetShownCaption());
    auto* drag = new QDrag(m_pSources[sourceRow]);
    drag->setMimeData(data);
    drag->setPixmap(m_pSources[sourceRow]->grab());
    drag->exec(Qt::CopyAction);
}

QString CMainDlg::HelpPageOf(const QWidget* window) {
    if (const auto* box = qobject_cast<const QMessageBox*>(window))
        return box->parentWidget() ? HelpPageOf(box->parentWidget()->window())
                                   : QStringLiteral("index.html");
    if (const auto* files = qobject_cast<const QFileDialog*>(window))
        return files->acceptMode() == QFileDialog::AcceptSave ? QStringLiteral("assigning.html")
                                                              : QStringLiteral("window.html");
    static const std::pair<const char*, const char*> kPages[] = {
        {"propertiesDialog", "properties.html"},
        {"voicesDialog", "voices.html"},
        {"preferencesDialog", "configuration.html"},
        {"conversionDialog", "patterns.html"},
        {"folderProgress", "folder.html"}};
    for (const auto& [name, page] : kPages) {
        if (window && window->objectName() == QLatin1String(name))
            return QString::fromLatin1(page);
    }
    return QStringLiteral("index.html");
}

void CMainDlg::ShowHelpPage(const QString& fileName) {
    ShowHelp(CHelpWindow::Tab::Contents);
    if (m_pHelpWindow)
        m_pHelpWindow->ShowNamedPage(fileName);
}

bool CMainDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_F1) {
        const auto* widget = qobject_cast<const QWidget*>(watched);
        const QWidget* window = widget ? widget->window() : nullptr;
        // The window's own F1 is Help, Contents; the help viewer has its own keys.
        if (window && window != this && window != m_pHelpWindow) {
            ShowHelpPage(HelpPageOf(window));
            return true;
        }
    }
    for (int row = 0; row < kSlotCount; ++row) {
        const bool source = watched == m_pSources[row];
        if (!source && watched != m_pDestinations[row])
            continue;
        const auto& column = source ? m_pSources : m_pDestinations;
        switch (key->key()) {
        case Qt::Key_Up:
            column[(row + kSlotCount - 1) % kSlotCount]->setFocus(Qt::OtherFocusReason);
            return true;
        case Qt::Key_Down:
            column[(row + 1) % kSlotCount]->setFocus(Qt::OtherFocusReason);
            return true;
        case Qt::Key_Tab:
            (source ? static_cast<QWidget*>(m_pDestinations[row]) : m_pExitButton)
                ->setFocus(Qt::TabFocusReason);
            return true;
        case Qt::Key_Backtab:
            if (source)
                return QDialog::eventFilter(watched, event);
            m_pSources[row]->setFocus(Qt::BacktabFocusReason);
            return true;
        default:
            return QDialog::eventFilter(watched, event);
        }
    }
    return QDialog::eventFilter(watched, event);
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

int CMainDlg::RunDialog(QDialog& dialog) {
    return m_runDialog ? m_runDialog(dialog) : dialog.exec();
}

void CMainDlg::OnAbout() {
    CAboutDlg dialog(this);
    RunDialog(dialog);
}

void CMainDlg::OnVoices() {
    VoicesForm form = VoicesFormFromDocument(m_table.GetDocument(), m_table.GetSlots());
    const bool readOnly = form.readOnly;
    CVoicesDlg dialog(std::move(form), this);
    if (RunDialog(dialog) == QDialog::Accepted && !readOnly)
        m_table.ApplyVoiceChanges(dialog.GetChanges());
}

void CMainDlg::OnProperties() {
    using Refusal = CAssignmentTable::PropertiesRefusal;
    const PropertiesForm shown = PropertiesFormFromDocument(m_table.GetDocument());
    CPropertiesDlg dialog(shown, this);
    // A refused tempo opens the dialog again as the user left it, on the tempo box.
    while (RunDialog(dialog) == QDialog::Accepted) {
        const Refusal refusal = m_table.ApplyProperties(shown, dialog.GetForm());
        if (refusal == Refusal::None)
            break;
        dialog.SelectTempo(refusal == Refusal::DestinationTempo);
    }
    Render();
}

void CMainDlg::OnConversions() {
    CConversionDlg dialog(ProposedConversionFolders(m_settings), m_settings.pattern,
                          m_settings.overwrite, m_settings.entireFolder, *m_pFolderBrowser, this);
    if (RunDialog(dialog) == QDialog::Accepted)
        ConfirmConversions(m_settings, dialog.GetFolders(), dialog.GetOverwrite(),
                           dialog.GetEntireFolder());
}

void CMainDlg::OnPreferences() {
    const std::vector<std::string> ports =
        m_listOutputPorts ? m_listOutputPorts() : std::vector<std::string>{};
    CPreferencesDlg dialog(PreferencesFromSettings(m_settings),
                           AuditionOutputChoices(ports, m_settings.auditionOutput),
                           *m_pFolderBrowser, m_fileDialogs, this);
    if (RunDialog(dialog) != QDialog::Accepted)
        return;
    const PreferencesValues values = dialog.GetValues();
    const int defaultModelBefore = m_settings.defaultModel;
    // A new recent-list size keeps as many of the files as it allows.
    ApplyPreferences(m_settings, m_recentFiles, values);
    RebuildRecentMenu();
    // Only a new default model is a model change; other settings leave the selector alone.
    if (values.model != defaultModelBefore)
        m_table.RequestModelChange(values.model);
    Render();
}

void CMainDlg::ShowHelp(CHelpWindow::Tab tab) {
    if (!m_pHelpWindow) {
        if (m_helpMissing)
            return;
        if (m_helpCollection.isEmpty())
            m_helpCollection = FindHelpCollection(QCoreApplication::applicationDirPath());
        if (m_helpCollection.isEmpty() || !QFileInfo::exists(m_helpCollection)) {
            // Without the help file the help commands do nothing, and stop looking for it.
            m_helpMissing = true;
            return;
        }
        m_pHelpWindow = new CHelpWindow(m_helpCollection, this);
    }
    // Opened from a modal dialog, the help stands above it and takes clicks while it is open.
    QWidget* over = QApplication::activeModalWidget();
    m_pHelpWindow->winId();
    m_pHelpWindow->windowHandle()->setTransientParent((over ? over : window())->windowHandle());
    m_pHelpWindow->ShowTab(tab);
}

void CMainDlg::OnHelpContents() {
    ShowHelp(CHelpWindow::Tab::Contents);
}

void CMainDlg::OnHelpSearch() {
    ShowHelp(CHelpWindow::Tab::Search);
}

void CMainDlg::OnHelpIndex() {
    ShowHelp(CHelpWindow::Tab::Index);
}

void CMainDlg::OnStorePattern() {
    RunStorePattern(m_table, m_settings);
    Render();
}

void CMainDlg::OnAutoConvert() {
    if (m_folderConversionUnderWay)
        return;
    RunAutoConvert(m_table, m_settings, m_fileDialogs, [this] { ConvertEntireFolder(); });
    Render();
}

namespace {

// What the conversion wants to say before it starts (a missing folder), kept until the worker
// has finished and shown on the window's thread.
class CHeldMessages : public IMessageBox {
public:
    MessageAnswer Show(const std::string& text, const std::string& caption, MessageIcon icon,
                       MessageButtons buttons) override {
        const std::lock_guard<std::mutex> lock(m_lock);
        m_held.push_back({text, caption, icon});
        return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }
    void ShowThrough(IMessageBox& messages) {
        for (const Held& held : m_held)
            messages.Show(held.text, held.caption, held.icon, MessageButtons::Ok);
    }

private:
    struct Held {
        std::string text;
        std::string caption;
        MessageIcon icon;
    };
    std::mutex m_lock;
    std::vector<Held> m_held;
};

// The folder conversion's progress. Cancel (its button, Escape or closing it) asks the workers
// to stop; the dialog stays up, saying so, until they have finished the files under way.
class CFolderProgressDlg : public QProgressDialog {
public:
    explicit CFolderProgressDlg(QWidget* parent)
        : QProgressDialog(QStringLiteral("Converting style files..."), QStringLiteral("Cancel"), 0,
                          0, parent) {
        // QProgressDialog hides itself on canceled() through a connection made by name.
        disconnect(this, SIGNAL(canceled()), this, SLOT(cancel()));
        connect(this, &QProgressDialog::canceled, this, [this] {
            stop = true;
            setLabelText(QStringLiteral("Stopping after the files under way..."));
        });
    }
    std::atomic<bool> stop{false};

protected:
    void reject() override { Q_EMIT canceled(); }
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        Q_EMIT canceled();
    }
};

// The summary lists this many skipped or failed files; korvane-cli lists them all.
constexpr std::size_t kSummaryFilesListed = 20;

} // namespace

void CMainDlg::ConvertEntireFolder() {
    FolderConversionJob job;
    job.sourceFolder = m_settings.conversionSourceFolder;
    job.targetFolder = m_settings.conversionTargetFolder;
    job.modelIndex = m_table.GetSelectedModel();
    job.mode = AssignmentMode::Pattern;
    job.pattern = m_settings.pattern;
    job.overwrite = m_settings.overwrite;

    CFolderProgressDlg progress(this);
    progress.setObjectName(QStringLiteral("folderProgress"));
    progress.setWindowTitle(QStringLiteral("Auto Convert"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.show();

    // The worker reports each file it starts; the dialog is changed on the window's thread only.
    const FolderProgress onFile = [&progress](std::size_t started, std::size_t total,
                                              const std::string& name) {
        const QString text = QStringLiteral("Converting %1 (%2 of %3)")
                                 .arg(QFile::decodeName(QByteArray::fromStdString(name)))
                                 .arg(started)
                                 .arg(total);
        QMetaObject::invokeMethod(
            &progress,
            [&progress, started, total, text] {
                if (progress.stop)
                    return;
                progress.setMaximum(int(total));
                progress.setValue(int(started - 1));
                progress.setLabelText(text);
            },
            Qt::QueuedConnection);
    };

    CHeldMessages held;
    std::optional<FolderConversionSummary> summary;
    QEventLoop waiting;
    const QScopedValueRollback<bool> underWay(m_folderConversionUnderWay, true);
    try {
        std::thread worker([&] {
            summary = ConvertFolder(job, held, onFile, progress.stop);
            QMetaObject::invokeMethod(
                &waiting, [&waiting] { waiting.quit(); }, Qt::QueuedConnection);
        });
        waiting.exec();
        worker.join();
    } catch (const std::system_error&) {
        // No thread to be had (a process limit): the conversion runs here and the window waits.
        summary = ConvertFolder(job, held, onFile, progress.stop);
    }
    progress.hide();

    held.ShowThrough(m_messages);
    if (summary)
        m_messages.Show(FolderSummaryText(*summary, kSummaryFilesListed), "Auto Convert",
                        MessageIcon::Information, MessageButtons::Ok);
}

void CMainDlg::OnAuditionPlay() {
    m_audition.Play();
    Render();
}

void CMainDlg::OnAuditionPause() {
    m_audition.Pause();
    Render();
}

void CMainDlg::OnAuditionStop() {
    m_audition.Stop();
    Render();
}

void CMainDlg::OnPlayOrPause() {
    const AuditionButtons buttons = m_audition.GetButtons();
    if (buttons.pause)
        OnAuditionPause();
    else if (buttons.play)
        OnAuditionPlay();
}

void CMainDlg::OnPlaySection(int row) {
    if (const CStyleSection* section = SectionAtLabel(m_table, LabelColumn::Source, row))
        m_audition.PlaySection(*section);
    Render();
}

} // namespace korvane
