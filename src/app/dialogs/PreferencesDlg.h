#pragma once

#include "platform/FileDialogs.h"
#include "platform/FolderBrowser.h"
#include "settings/Preferences.h"

#include <QDialog>

#include <vector>

class QComboBox;
class QFormLayout;

namespace korvane {

class CMdcText;

// "Preferences": the default model, the default style and audition locations with their Browse
// buttons, the audition output and soundfont, and the recent-list size. It shows the values it is
// given and hands them back; what OK means is ApplyPreferences's matter.
class CPreferencesDlg : public QDialog {
    Q_OBJECT

public:
    // outputs: the "Audition output" entries (AuditionOutputChoices); the one whose value is
    // values.auditionOutput is selected.
    CPreferencesDlg(const PreferencesValues& values,
                    const std::vector<AuditionOutputChoice>& outputs, IFolderBrowser& folderBrowser,
                    IFileDialogs& fileDialogs, QWidget* parent = nullptr);

    // The values as the boxes hold them now.
    PreferencesValues GetValues() const;

private:
    void OnBrowseStyleLocation();
    void OnBrowseAuditionLocation();
    void OnBrowseSoundfont();

    IFolderBrowser& m_folderBrowser;
    IFileDialogs& m_fileDialogs;
    std::vector<AuditionOutputChoice> m_outputs;
    std::vector<AuditionOutputChoice> m_drivers;
    QComboBox* m_pOutputList = nullptr;
    QComboBox* m_pDriverList = nullptr;
    CMdcText* m_pSoundfont = nullptr;
    QComboBox* m_pModelList = nullptr;
    CMdcText* m_pStyleLocation = nullptr;
    CMdcText* m_pAuditionLocation = nullptr;
    CMdcText* m_pRecentListSize = nullptr;
};

} // namespace korvane
