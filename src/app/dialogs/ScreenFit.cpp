#include "app/dialogs/ScreenFit.h"

#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace korvane {

QSize SizeOnScreen(const QSize& wanted, const QRect& available) {
    return {std::min(wanted.width(), available.width()),
            std::min(wanted.height(), available.height())};
}

void FitToScreen(QWidget& window, const QWidget* over) {
    const QScreen* screen = over ? over->screen() : window.screen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    const QSize wanted = window.size();
    const QSize fitted = SizeOnScreen(wanted, available);
    window.setMaximumSize(available.size());
    window.resize(fitted);
    // The frame's top-left corner inside the free area, with room for the whole window.
    QPoint at = window.pos();
    at.setX(std::clamp(at.x(), available.left(), available.right() + 1 - fitted.width()));
    at.setY(std::clamp(at.y(), available.top(), available.bottom() + 1 - fitted.height()));
    window.move(at);
}

} // namespace korvane
