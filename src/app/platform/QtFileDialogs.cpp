#include "app/platform/QtFileDialogs.h"

#include "assignment/SaveCommand.h"

#include <QFile>
#include <QMessageBox>

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

QString CStyleFileTypes::type(const QFileInfo& info) const {
    if (info.isFile() && info.suffix().compare(QLatin1String("sty"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Style File");
    return QFileIconProvider::type(info);
}

CSaveFileDialog::CSaveFileDialog(QWidget* owner, const QString& folder)
    : QFileDialog(owner, QStringLiteral("Save As"), folder) {
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setOption(QFileDialog::HideNameFilterDetails);
    // Save asks its own overwrite question, with its own text and caption.
    setOption(QFileDialog::DontConfirmOverwrite);
}

void CSaveFileDialog::accept() {
    const QStringList chosen = selectedFiles();
    if (!chosen.isEmpty()) {
        if (const auto missing = MissingFolderOf(ToBytes(chosen.constFirst()))) {
            // Opened, not run: the dialog stays open behind it for another name.
            auto* refusal =
                new QMessageBox(QMessageBox::Warning, QStringLiteral("Sorry..."),
                                FromBytes(MissingFolderMessage(*missing)), QMessageBox::Ok, this);
            refusal->setAttribute(Qt::WA_DeleteOnClose);
            refusal->open();
            return;
        }
    }
    QFileDialog::accept();
}

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
    dialog.setIconProvider(&m_types);
    return RunDialog(dialog);
}

std::optional<std::string> CQtFileDialogs::GetSaveFileName(const std::string& folder,
                                                           const std::string& initialName,
                                                           const std::vector<FileFilter>& filters) {
    CSaveFileDialog dialog(m_pOwner, FromBytes(folder));
    dialog.setNameFilters(QtNameFilters(filters));
    dialog.setIconProvider(&m_types);
    if (!initialName.empty()) {
        dialog.selectFile(FromBytes(initialName));
    }
    return RunDialog(dialog);
}

} // namespace korvane
