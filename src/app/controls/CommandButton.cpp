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
