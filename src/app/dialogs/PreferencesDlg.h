#pragma once

#include "platform/FolderBrowser.h"
#include "settings/Preferences.h"

#include <QDialog>

class QComboBox;
class QFormLayout;

namespace korvane {

class CMdcText;

// "Preferences": the default model, the default style and audition locations with their Browse
// buttons, and the recent-list size. It shows the values it is given and hands them back; what OK
// means is ApplyPreferences's matter.
class CPreferencesDlg : public QDialog {
    Q_OBJECT

public:
    CPreferencesDlg(const PreferencesValues& values, IFolderBrowser& folderBrowser,
                    QWidget* parent = nullptr);

    // The values as the boxes hold them now.
    PreferencesValues GetValues() const;

private:
    void OnBrowseStyleLocation();
    void OnBrowseAuditionLocation();

    IFolderBrowser& m_folderBrowser;
    QComboBox* m_pModelList = nullptr;
    CMdcText* m_pStyleLocation = nullptr;
    CMdcText* m_pAuditionLocation = nullptr;
    CMdcText* m_pRecentListSize = nullptr;
};

} // namespace korvane
