#include "app/platform/QtFolderBrowser.h"

#include <QFileDialog>

namespace korvane {

std::optional<std::string> CQtFolderBrowser::BrowseForFolder(const std::string& title,
                                                             const std::string& startFolder) {
    const QString folder = QFileDialog::getExistingDirectory(
        m_pOwner, QString::fromLocal8Bit(title.data(), qsizetype(title.size())),
        QString::fromLocal8Bit(startFolder.data(), qsizetype(startFolder.size())));
    if (folder.isEmpty())
        return std::nullopt;
    const QByteArray bytes = folder.toLocal8Bit();
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

} // namespace korvane
