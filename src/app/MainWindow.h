#pragma once

#include "app/dialogs/HelpWindow.h"
#include "app/platform/QtFileDialogs.h"
#include "app/platform/QtFolderBrowser.h"
#include "app/platform/QtMessageBox.h"
#include "assignment/AssignmentTable.h"
#include "audition/AuditionOutput.h"
#include "audition/AuditionPlayer.h"
#include "platform/FileDialogs.h"
#include "platform/FolderBrowser.h"
#include "platform/MessageBox.h"
#include "settings/RecentFiles.h"
#include "settings/Settings.h"
#include "style/StyleReader.h"

#include <QDialog>

#include <array>
#include <functional>
#include <string>
#include <vector>

class QAction;
class QComboBox;
class QMenu;
class QMenuBar;
class QStatusBar;
class QWidget;

namespace korvane {

class CCommandButton;
class CLabelControl;
class CSectionLabels;

// The main dialog: the three 16-row columns, the model selector, the command buttons and the
// menu. It holds the run's state (assignment table with the style document, settings) and routes
// every click and menu choice to the core; after each command it draws the table's state again.
class CMainDlg : public QDialog {
    Q_OBJECT

public:
    // The program's window: Qt's message boxes and file dialogs, the current folder as the
    // start-up folder.
    CMainDlg();
    // The window with its message boxes and file dialogs supplied (tests answer them by script).
    CMainDlg(IMessageBox& messages, IFileDialogs& fileDialogs, const std::string& startFolder);
    // ... and its folder browser too.
    CMainDlg(IMessageBox& messages, IFileDialogs& fileDialogs, IFolderBrowser& folderBrowser,
             const std::string& startFolder);
    ~CMainDlg() override;

    static constexpr const char* kTitle = "Korvane 1.1 SP1";

    const CAssignmentTable& GetAssignmentTable() const { return m_table; }
    const CSettings& GetSettings() const { return m_settings; }

    // Runs a modal dialog and returns how it ended (QDialog::Accepted or Rejected). The window
    // runs each dialog through it; tests answer the dialogs by script.
    using DialogRunner = std::function<int(QDialog&)>;
    void SetDialogRunner(DialogRunner runner) { m_runDialog = std::move(runner); }
    void SetFolderBrowser(IFolderBrowser& folderBrowser) { m_pFolderBrowser = &folderBrowser; }
    // Where Preferences gets the MIDI output ports it offers; by default the audition
    // subsystem's ListOutputPorts (tests supply their own list).
    void SetOutputPortLister(std::function<std::vector<std::string>()> lister) {
        m_listOutputPorts = std::move(lister);
    }
    // The help collection to show; by default the one beside the program.
    void SetHelpCollection(const QString& collectionFile) { m_helpCollection = collectionFile; }
    // The help page (file name) that F1 opens in a window of the program: the dialog's own page;
    // a message box's owner's; for the main window the start page.
    static QString HelpPageOf(const QWidget* window);
    // The help viewer, once a help command has made it.
    CHelpWindow* GetHelpWindow() const { return m_pHelpWindow; }

    // Opens a file already chosen (the recent files, a drop, the command line) as Open does.
    ReadResult OpenFile(const std::string& path);
    // The program's arguments after its name: the first names a file to open at start.
    void OpenFromCommandLine(const std::vector<std::string>& arguments);
    // Plays the audition on sequencer instead of the one the settings choose (tests).
    void SetAuditionSequencer(ISequencer& sequencer) { m_audition.SetSequencer(sequencer); }
    // Lets the audition's own sequencer load what it needs (the synthesizer's soundfont) in the
    // background, so that the first Play does not wait for it. The program calls it once the window
    // is shown; windows that play on an injected sequencer never load a synthesizer.
    void PrepareAudition() { m_settingsSequencer.Prepare(); }

    // --- commands: each button and menu item runs one of these once -------------------------
    void OnOpen();
    void OnSave();
    void OnExit();
    void OnCopyAll();
    void OnAssignByName();
    void OnClear();
    void OnUndo();
    void OnRedo();
    void OnVoices();
    void OnProperties();
    void OnConversions();
    void OnPreferences();
    void OnStorePattern();
    void OnAutoConvert();
    void OnHelpContents();
    void OnHelpSearch();
    void OnHelpIndex();
    void OnAbout();
    void OnAuditionPlay();
    void OnAuditionPause();
    void OnAuditionStop();
    // Space: Pause while playing, else Play.
    void OnPlayOrPause();
    // Play This Section, from a source label's context menu.
    void OnPlaySection(int row);
    // The section pictures of the labels' tooltips.
    CSectionLabels* GetSectionLabels() const { return m_pSectionLabels; }
    void OnSourceLabelClick(int row);
    void OnDestinationLabelClick(int slot);
    // A source row dragged onto a slot: that section is assigned there, as by two clicks.
    void OnSectionDropped(int sourceRow, int slot);
    // What a dragged section carries: its source row, in decimal.
    static constexpr const char* kSectionMimeType = "application/x-korvane-section";
    void OnModelChange(int modelIndex);
    void OnRecentFile(const std::string& path);

    // Every way of ending (Exit, Enter, Escape, the close box) asks first while work is unsaved.
    void done(int result) override;

protected:
    // The section columns' keys: Up and Down move within a column, Tab and Shift+Tab between
    // the source and destination columns.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    CMainDlg(IMessageBox* messages, IFileDialogs* fileDialogs, IFolderBrowser* folderBrowser,
             const std::string& startFolder);

    void CreateControls();
    void CreateMenu();
    void Initialise(const std::string& startFolder);
    // Draws every label, button and the selector from the assignment table.
    void Render();
    // Auto Convert's whole-folder mode: the conversion runs on a worker thread under a progress
    // dialog that can cancel it; the summary follows in a message box.
    void ConvertEntireFolder();
    int RunDialog(QDialog& dialog);
    void ShowHelp(CHelpWindow::Tab tab);
    // F1 in a dialog, a message box or a file dialog: the help page that explains it.
    void ShowHelpPage(const QString& fileName);
    void RebuildRecentMenu();
    void StartSectionDrag(int sourceRow);

    // Dialog units of the dialog font, converted to pixels.
    QRect FromDialogUnits(int x, int y, int width, int height) const;
    CCommandButton* AddButton(const char* name, const QString& caption, int x, int y, int width,
                              int height);
    CLabelControl* AddLabel(const char* name, int x, int y, int width, int height);
    QAction* AddMenuItem(QMenu* menu, const char* name, const QString& text);

    CQtMessageBox m_qtMessages;
    CQtFileDialogs m_qtFileDialogs;
    CQtFolderBrowser m_qtFolderBrowser;
    IMessageBox& m_messages;
    IFileDialogs& m_fileDialogs;
    IFolderBrowser* m_pFolderBrowser;
    std::function<std::vector<std::string>()> m_listOutputPorts;
    DialogRunner m_runDialog;
    CRecentFiles m_recentFiles;
    QMenu* m_pRecentMenu = nullptr;
    QString m_helpCollection;
    CHelpWindow* m_pHelpWindow = nullptr;
    QAction* m_pHelpContentsAction = nullptr;
    bool m_helpMissing = false;
    bool m_folderConversionUnderWay = false; // a second Auto Convert waits for the first
    CSettings m_settings;
    CAssignmentTable m_table;
    CSettingsSequencer m_settingsSequencer;
    CAuditionPlayer m_audition;
    CSectionLabels* m_pSectionLabels = nullptr; // a child of the window

    int m_baseUnitX = 0;
    int m_baseUnitY = 0;
    QMenuBar* m_pMenuBar = nullptr;
    QStatusBar* m_pStatusBar = nullptr;
    QAction* m_pAssignByNameAction = nullptr;
    QWidget* m_pClientArea = nullptr;
    QComboBox* m_pModelSelector = nullptr;
    CLabelControl* m_pFileNameLabel = nullptr;
    CLabelControl* m_pAuditionLabel = nullptr;
    std::array<CLabelControl*, kSlotCount> m_pSources{};
    std::array<CLabelControl*, kSlotCount> m_pDestinations{};
    std::array<CLabelControl*, kSlotCount> m_pAssignments{};
    std::array<CCommandButton*, kSwitchedButtonCount> m_pSwitchedButtons{};
    CCommandButton* m_pOpenButton = nullptr;
    CCommandButton* m_pExitButton = nullptr;
    CCommandButton* m_pPlayButton = nullptr;
    CCommandButton* m_pPauseButton = nullptr;
    CCommandButton* m_pStopButton = nullptr;
};

} // namespace korvane
