#pragma once

#include "app/platform/QtFileDialogs.h"
#include "app/platform/QtMessageBox.h"
#include "assignment/AssignmentTable.h"
#include "audition/AuditionOutput.h"
#include "audition/AuditionPlayer.h"
#include "platform/FileDialogs.h"
#include "platform/MessageBox.h"
#include "settings/Settings.h"

#include <QDialog>

#include <array>
#include <string>

class QAction;
class QComboBox;
class QMenu;
class QMenuBar;
class QWidget;

namespace korvane {

class CCommandButton;
class CLabelControl;

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
    ~CMainDlg() override;

    static constexpr const char* kTitle = "Korvane 1.1 SP1";

    const CAssignmentTable& GetAssignmentTable() const { return m_table; }
    const CSettings& GetSettings() const { return m_settings; }
    const CAuditionPlayer& GetAudition() const { return m_audition; }
    // Plays the audition on sequencer instead of the one the settings choose (tests).
    void SetAuditionSequencer(ISequencer& sequencer) { m_audition.SetSequencer(sequencer); }

    // --- commands: each button and menu item runs one of these once -------------------------
    void OnOpen();
    void OnSave();
    void OnExit();
    void OnCopyAll();
    void OnClear();
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
    void OnSourceLabelClick(int row);
    void OnDestinationLabelClick(int slot);
    void OnModelChange(int modelIndex);

private:
    CMainDlg(IMessageBox* messages, IFileDialogs* fileDialogs, const std::string& startFolder);

    void CreateControls();
    void CreateMenu();
    void Initialise(const std::string& startFolder);
    // Draws every label, button and the selector from the assignment table.
    void Render();
    void ShowNotAvailable();

    // Dialog units of the dialog font, converted to pixels.
    QRect FromDialogUnits(int x, int y, int width, int height) const;
    CCommandButton* AddButton(const char* name, const QString& caption, int x, int y, int width,
                              int height);
    CLabelControl* AddLabel(const char* name, int x, int y, int width, int height);
    QAction* AddMenuItem(QMenu* menu, const char* name, const QString& text);

    CQtMessageBox m_qtMessages;
    CQtFileDialogs m_qtFileDialogs;
    IMessageBox& m_messages;
    IFileDialogs& m_fileDialogs;
    CSettings m_settings;
    CAssignmentTable m_table;
    CSettingsSequencer m_settingsSequencer;
    CAuditionPlayer m_audition;

    int m_baseUnitX = 0;
    int m_baseUnitY = 0;
    QMenuBar* m_pMenuBar = nullptr;
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
