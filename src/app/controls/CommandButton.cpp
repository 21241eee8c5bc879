#include "app/controls/CommandButton.h"

#include "app/controls/ControlColour.h"

#include <QPainter>
#include <QPixmap>

namespace korvane {

namespace {
constexpr int kPictureSize = 12;
}

CCommandButton::CCommandButton(const QString& caption, QWidget* parent)
    : QPushButton(caption, parent) {
    // Enter belongs to the dialog (it ends it like Exit), not to whichever button has the focus.
    setAutoDefault(false);
}

CCommandButton::CCommandButton(Picture picture, QWidget* parent)
    : QPushButton(parent), m_picture(picture) {
    setAutoDefault(false);
    setIconSize(QSize(kPictureSize, kPictureSize));
    DrawPicture();
}

void CCommandButton::SetBackColour(std::uint32_t colour) {
    SetControlColour(*this, QPalette::Button, colour);
}

std::uint32_t CCommandButton::GetBackColour() const {
    return GetControlColour(*this, QPalette::Button);
}

void CCommandButton::SetTextColour(std::uint32_t colour) {
    // Set for every colour group: a switched-off button shows its own dark green, not the
    // style's grey.
    SetControlColour(*this, QPalette::ButtonText, colour);
    DrawPicture();
}

std::uint32_t CCommandButton::GetTextColour() const {
    return GetControlColour(*this, QPalette::ButtonText);
}

void CCommandButton::SetButtonState(bool on) {
    SetEnabled(on);
    SetTextColour(on ? kOnTextColour : kOffTextColour);
}

void CCommandButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor face = palette().color(QPalette::Button);
    const QColor ink = palette().color(QPalette::ButtonText);
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    painter.fillRect(rect(), face);

    // A raised edge, pressed in while the button is down: light above and left, dark below and
    // right, one pixel each on the face colour, so the face itself stays flat.
    const bool down = isDown();
    const QColor light = face.lighter(160);
    const QColor dark = face.darker(250);
    painter.setPen(down ? dark : light);
    painter.drawLine(frame.topLeft(), frame.topRight());
    painter.drawLine(frame.topLeft(), frame.bottomLeft());
    painter.setPen(down ? light : dark);
    painter.drawLine(frame.bottomLeft(), frame.bottomRight());
    painter.drawLine(frame.topRight(), frame.bottomRight());

    const QPoint shift = down ? QPoint(1, 1) : QPoint(0, 0);
    if (m_picture != Picture::None) {
        // The symbol is already drawn in the text colour, the switched-off green included.
        const QPixmap symbol = icon().pixmap(iconSize());
        const QSize size = symbol.deviceIndependentSize().toSize();
        const QPoint corner((width() - size.width()) / 2, (height() - size.height()) / 2);
        painter.drawPixmap(corner + shift, symbol);
    } else {
        painter.setPen(ink);
        painter.drawText(rect().translated(shift), Qt::AlignCenter | Qt::TextShowMnemonic, text());
    }

    if (hasFocus()) {
        painter.setPen(QPen(ink, 1, Qt::DotLine));
        painter.drawRect(frame.adjusted(3, 3, -3, -3));
    }
}

void CCommandButton::DrawPicture() {
    if (m_picture == Picture::None) {
        return;
    }
    QPixmap pixmap(kPictureSize, kPictureSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().color(QPalette::ButtonText));
    const double s = kPictureSize;
    switch (m_picture) {
    case Picture::Play: {
        const QPointF triangle[] = {{s * 0.2, s * 0.1}, {s * 0.9, s * 0.5}, {s * 0.2, s * 0.9}};
        painter.drawPolygon(triangle, 3);
        break;
    }
    case Picture::Pause:
        painter.drawRect(QRectF(s * 0.15, s * 0.1, s * 0.25, s * 0.8));
        painter.drawRect(QRectF(s * 0.6, s * 0.1, s * 0.25, s * 0.8));
        break;
    case Picture::Stop:
        painter.drawRect(QRectF(s * 0.15, s * 0.15, s * 0.7, s * 0.7));
        break;
    case Picture::None:
        break;
    }
    painter.end();
    setIcon(QIcon(pixmap));
}

} // namespace korvane
