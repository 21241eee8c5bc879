#include "app/controls/MdcText.h"

namespace korvane {

CMdcText::CMdcText(QWidget* parent) : QLineEdit(parent) {}

void CMdcText::SetText(const std::string& text) {
    m_text = text;
    m_shown = QString::fromLocal8Bit(text.data(), qsizetype(text.size()));
    setText(m_shown);
}

std::string CMdcText::GetText() const {
    if (text() == m_shown) {
        return m_text;
    }
    return text().toLocal8Bit().toStdString();
}

} // namespace korvane
