#include "app/platform/QtFileDialogs.h"

#include <QFile>
#include <QFileDialog>

namespace korvane {

namespace {

QString FromBytes(const std::string& text) {
    return QFile::decodeName(QByteArray(text.data(), qsizetype(text.size())));
}

std::string ToBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

std::optional<std::string> RunDialog(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return ToBytes(dialog.selectedFiles().constFirst());
}

} // namespace

QStringList CQtFileDialogs::QtNameFilters(const std::vector<FileFilter>& filters) {
    QStringList result;
    for (const FileFilter& filter : filters) {
        QStringList patterns;
        for (const QString& pattern :
             QString::fromStdString(filter.patterns).split(u';', Qt::SkipEmptyParts)) {
            const QString trimmed = pattern.trimmed();
            if (!trimmed.isEmpty()) {
                patterns << (trimmed == u"*.*" ? QStringLiteral("*") : trimmed);
            }
        }
        result << QString::fromStdString(filter.description) + QStringLiteral(" (") +
                      patterns.join(u' ') + u')';
    }
    return result;
}

std::optional<std::string> CQtFileDialogs::GetOpenFileName(const std::string& folder,
                                                           const std::vector<FileFilter>& filters) {
    QFileDialog dialog(m_pOwner, QStringLiteral("Open"), FromBytes(folder));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // The descriptions already name their patterns; Qt would add them a second time.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(QtNameFilters(filters));
    return RunDialog(dialog);
}

std::optional<std::string> CQtFileDialogs::GetSaveFileName(const std::string& folder,
                                                           const std::string& initialName,
                                                           const std::vector<FileFilter>& filters) {
    QFileDialog dialog(m_pOwner, QStringLiteral("Save As"), FromBytes(folder));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    // Save asks its own overwrite question, with its own text and caption.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilters(QtNameFilters(filters));
    if (!initialName.empty()) {
        dialog.selectFile(FromBytes(initialName));
    }
    return RunDialog(dialog);
}

} // namespace korvane
