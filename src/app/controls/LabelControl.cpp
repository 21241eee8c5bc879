#include "app/controls/LabelControl.h"

#include "app/controls/ControlColour.h"
#include "platform/DisplayText.h"

#include <QMouseEvent>

#include <algorithm>

namespace korvane {

CLabelControl::CLabelControl(QWidget* parent) : QLabel(parent) {
    // Captions are names, never markup.
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setIndent(2);
    setAutoFillBackground(true);
}

void CLabelControl::SetCaption(const std::string& caption) {
    m_caption = caption;
    m_shown = QString::fromStdString(DisplayUtf8(caption));
    FitCaption();
}

void CLabelControl::FitCaption() {
    const int room = contentsRect().width() - 2 * std::max(indent(), 0);
    const QString fitted = fontMetrics().elidedText(m_shown, Qt::ElideMiddle, std::max(room, 0));
    setText(fitted);
    QString tip = fitted == m_shown ? QString() : m_shown;
    if (!m_note.isEmpty())
        tip += (tip.isEmpty() ? QString() : QStringLiteral("\n\n")) + m_note;
    setToolTip(tip);
}

void CLabelControl::SetNote(const std::string& note) {
    m_note = QString::fromStdString(DisplayUtf8(note));
    FitCaption();
}

void CLabelControl::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    FitCaption();
}

void CLabelControl::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        FitCaption();
    }
}

void CLabelControl::SetTextColour(std::uint32_t colour) {
    SetControlColour(*this, QPalette::WindowText, colour);
}

std::uint32_t CLabelControl::GetTextColour() const {
    return GetControlColour(*this, QPalette::WindowText);
}

void CLabelControl::SetBackColour(std::uint32_t colour) {
    SetControlColour(*this, QPalette::Window, colour);
}

std::uint32_t CLabelControl::GetBackColour() const {
    return GetControlColour(*this, QPalette::Window);
}

void CLabelControl::SetSunken(bool sunken) {
    if (sunken) {
        setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    } else {
        setFrameStyle(QFrame::NoFrame);
    }
}

void CLabelControl::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_pressed = true;
        event->accept();
        return;
    }
    QLabel::mousePressEvent(event);
}

void CLabelControl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_pressed) {
        m_pressed = false;
        event->accept();
        // Like a button, the click counts only when the mouse is released over the label.
        if (rect().contains(event->position().toPoint())) {
            Q_EMIT clicked();
        }
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

void CLabelControl::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
}

} // namespace korvane
