#include "app/platform/QtMessageBox.h"

#include "platform/DisplayText.h"

#include <QMessageBox>

namespace korvane {

namespace {

// Messages name files and sections, whose bytes may be in any code page: they are decoded by the
// same rule as the labels that show them.
QString FromBytes(const std::string& text) {
    return QString::fromStdString(DisplayUtf8(text));
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

std::unique_ptr<QMessageBox> CQtMessageBox::MakeBox(QWidget* owner, const std::string& text,
                                                    const std::string& caption, MessageIcon icon,
                                                    MessageButtons buttons) {
    const QMessageBox::StandardButtons qtButtons =
        buttons == MessageButtons::YesNo ? QMessageBox::Yes | QMessageBox::No
                                         : QMessageBox::StandardButtons(QMessageBox::Ok);
    auto box = std::make_unique<QMessageBox>(QtIcon(icon), FromBytes(caption), FromBytes(text),
                                             qtButtons, owner);
    // Texts name files and sections; they are shown as written, never as markup.
    box->setTextFormat(Qt::PlainText);
    // Every question discards, overwrites or starts a long run: Enter answers No.
    if (buttons == MessageButtons::YesNo)
        box->setDefaultButton(QMessageBox::No);
    return box;
}

MessageAnswer CQtMessageBox::Show(const std::string& text, const std::string& caption,
                                  MessageIcon icon, MessageButtons buttons) {
    const int answer = MakeBox(m_pOwner, text, caption, icon, buttons)->exec();
    if (buttons == MessageButtons::Ok) {
        return MessageAnswer::Ok;
    }
    // Closing a Yes/No box from its title bar is a No.
    return answer == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

} // namespace korvane
