#pragma once

#include <QRect>
#include <QSize>

class QWidget;

namespace korvane {

// The size of a window that wants `wanted` on a screen whose free area is `available`: never
// larger than that area.
QSize SizeOnScreen(const QSize& wanted, const QRect& available);

// Caps the window to the free area of the screen it opens on (that of `over` when given, else its
// own) and moves it so that all of it lies there.
void FitToScreen(QWidget& window, const QWidget* over = nullptr);

} // namespace korvane
