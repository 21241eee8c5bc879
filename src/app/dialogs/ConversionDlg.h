#pragma once

#include "patterns/ConversionPattern.h"
#include "platform/FolderBrowser.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QPushButton;

namespace korvane {

class CLabelControl;
class CMdcText;

// "Configure Conversion ": the stored pattern, read-only, the folder to read styles from and the
// folder to write conversions to, each with its folder browser, and the overwrite and
// entire-folder flags. The window copies the values in before it runs the dialog and takes them
// out only on OK.
class CConversionDlg : public QDialog {
    Q_OBJECT

public:
    CConversionDlg(const ConversionFolders& folders, const ConversionPattern& pattern,
                   bool overwrite, bool entireFolder, IFolderBrowser& browser,
                   QWidget* parent = nullptr);

    static constexpr const char* kCaption = "Configure Conversion ";

    // The texts of the two edit boxes and the states of the check boxes.
    ConversionFolders GetFolders() const;
    bool GetOverwrite() const;
    bool GetEntireFolder() const;

    void OnBrowseFrom();
    void OnBrowseTo();

private:
    void Browse(const char* title, CMdcText* edit);

    IFolderBrowser& m_browser;
    CMdcText* m_pFromEdit = nullptr;
    CMdcText* m_pToEdit = nullptr;
    QCheckBox* m_pOverwrite = nullptr;
    QCheckBox* m_pEntireFolder = nullptr;
};

} // namespace korvane
