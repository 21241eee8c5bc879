#include "app/platform/QtMessageBox.h"

#include <QMessageBox>

namespace korvane {

namespace {

QString FromBytes(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), qsizetype(text.size()));
}

QMessageBox::Icon QtIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

MessageAnswer CQtMessageBox::Show(const std::string& text, const std::string& caption,
                                  MessageIcon icon, MessageButtons buttons) {
    const QMessageBox::StandardButtons qtButtons =
        buttons == MessageButtons::YesNo ? QMessageBox::Yes | QMessageBox::No
                                         : QMessageBox::StandardButtons(QMessageBox::Ok);
    QMessageBox box(QtIcon(icon), FromBytes(caption), FromBytes(text), qtButtons, m_pOwner);
    // Texts name files and sections; they are shown as written, never as markup.
    box.setTextFormat(Qt::PlainText);
    const int answer = box.exec();
    if (buttons == MessageButtons::Ok) {
        return MessageAnswer::Ok;
    }
    // Closing a Yes/No box from its title bar is a No.
    return answer == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

} // namespace korvane
