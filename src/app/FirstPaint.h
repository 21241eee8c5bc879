#pragma once

#include <functional>

class QWidget;

namespace korvane {

// Calls action once, from the event loop, when window's first frame is done: after its own first
// paint event and its children's, which follow in the same frame.
void AfterFirstPaint(QWidget& window, std::function<void()> action);

// The start-up benchmark's hook: when the environment variable KORVANE_BENCH_FIRST_PAINT is set
// (read here, at start-up), the program prints the wall-clock time, in microseconds since the
// epoch, at which window's first frame was done, and ends there. Otherwise nothing happens.
void ExitAtFirstPaintWhenBenchmarked(QWidget& window);

} // namespace korvane
