#include "app/platform/QtFolderBrowser.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>

namespace korvane {

std::optional<std::string> CQtFolderBrowser::BrowseForFolder(const std::string& title) {
    // The browser starts at the top of the file system, as the shell's namespace root does.
    const QString folder = QFileDialog::getExistingDirectory(
        m_pOwner, QString::fromLocal8Bit(title.data(), qsizetype(title.size())), QDir::rootPath());
    if (folder.isEmpty())
        return std::nullopt;
    return QFile::encodeName(QDir::toNativeSeparators(folder)).toStdString();
}

} // namespace korvane
