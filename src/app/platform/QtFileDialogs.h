#pragma once

#include "platform/FileDialogs.h"

#include <QFileDialog>
#include <QFileIconProvider>
#include <QStringList>

namespace korvane {

// The save dialog: like the open dialog, which takes only a file that exists, it takes a name only
// in a folder that exists. A name in any other folder is refused with Save's own message and the
// dialog stays open.
class CSaveFileDialog : public QFileDialog {
    Q_OBJECT

public:
    CSaveFileDialog(QWidget* owner, const QString& folder);

    void accept() override;
};

// The file dialogs' Type column in Korvane's words: a ".sty" file is a "Style File" (as the
// filter says), whatever type the desktop has installed for the extension ("TeX document").
class CStyleFileTypes : public QFileIconProvider {
public:
    QString type(const QFileInfo& info) const override;
};

// Open and save dialogs as Qt's QFileDialog, owned by the window given at construction.
class CQtFileDialogs : public IFileDialogs {
public:
    explicit CQtFileDialogs(QWidget* owner) : m_pOwner(owner) {}

    std::optional<std::string> GetOpenFileName(const std::string& folder,
                                               const std::vector<FileFilter>& filters) override;
    std::optional<std::string> GetSaveFileName(const std::string& folder,
                                               const std::string& initialName,
                                               const std::vector<FileFilter>& filters) override;

    // The filters in Qt's form: the description as shown, then the patterns in parentheses,
    // separated by spaces ("*.*" becomes "*", which also matches names without a dot).
    static QStringList QtNameFilters(const std::vector<FileFilter>& filters);

private:
    QWidget* m_pOwner;
    CStyleFileTypes m_types;
};

} // namespace korvane
