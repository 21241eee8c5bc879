#include "app/controls/MdcText.h"

#include "platform/DisplayText.h"

namespace korvane {

CMdcText::CMdcText(QWidget* parent) : QLineEdit(parent) {}

void CMdcText::SetText(const std::string& text) {
    m_text = text;
    setText(QString::fromStdString(DisplayUtf8(text)));
}

std::string CMdcText::GetText() const {
    return BytesFromDisplay(m_text, text().toStdString());
}

} // namespace korvane
