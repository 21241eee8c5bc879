#include "app/controls/LabelControl.h"

#include "app/controls/ControlColour.h"
#include "platform/DisplayText.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>

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

void CLabelControl::SetKeyboardClickable() {
    m_keyboardClickable = true;
    setFocusPolicy(Qt::StrongFocus);
}

void CLabelControl::SetDragSource() {
    m_dragSource = true;
}

void CLabelControl::SetDropTarget(const QString& mimeType) {
    m_dropMimeType = mimeType;
    setAcceptDrops(true);
}

namespace {

bool IsClickKey(int key) {
    return key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

bool CLabelControl::event(QEvent* event) {
    // Space and Enter belong to the focused label, before any shortcut of the window.
    if (m_keyboardClickable && event->type() == QEvent::ShortcutOverride &&
        IsClickKey(static_cast<QKeyEvent*>(event)->key())) {
        event->accept();
        return true;
    }
    return QLabel::event(event);
}

void CLabelControl::keyPressEvent(QKeyEvent* event) {
    if (m_keyboardClickable && IsClickKey(event->key()) && !event->isAutoRepeat()) {
        event->accept();
        Q_EMIT clicked();
        return;
    }
    QLabel::keyPressEvent(event);
}

void CLabelControl::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = contentsRect().adjusted(1, 1, -1, -1);
    option.backgroundColor = palette().color(QPalette::Window);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    // Styles that draw no focus frame on a dark label still show it: a dotted line in the text
    // colour.
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
    painter.drawRect(option.rect.adjusted(0, 0, -1, -1));
}

void CLabelControl::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragSource && m_pressed &&
        (event->position().toPoint() - m_pressedAt).manhattanLength() >=
            QApplication::startDragDistance()) {
        m_pressed = false; // a drag is no click
        Q_EMIT dragStarted();
        return;
    }
    QLabel::mouseMoveEvent(event);
}

void CLabelControl::dragEnterEvent(QDragEnterEvent* event) {
    if (!m_dropMimeType.isEmpty() && event->mimeData()->hasFormat(m_dropMimeType))
        event->acceptProposedAction();
}

void CLabelControl::dropEvent(QDropEvent* event) {
    if (m_dropMimeType.isEmpty() || !event->mimeData()->hasFormat(m_dropMimeType))
        return;
    event->acceptProposedAction();
    Q_EMIT dropped(event->mimeData()->data(m_dropMimeType));
}

void CLabelControl::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_pressed = true;
        m_pressedAt = event->position().toPoint();
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
