#include "app/FirstPaint.h"

#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace korvane {
namespace {

// Waits for the window's own first paint event; the action runs at the event loop's next turn,
// once the children have painted too.
class CFirstPaintWatch : public QObject {
public:
    CFirstPaintWatch(QWidget& window, std::function<void()> action)
        : QObject(&window), m_action(std::move(action)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && m_action) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, this, std::exchange(m_action, nullptr));
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_action;
};

} // namespace

void AfterFirstPaint(QWidget& window, std::function<void()> action) {
    window.installEventFilter(new CFirstPaintWatch(window, std::move(action)));
}

void ExitAtFirstPaintWhenBenchmarked(QWidget& window) {
    if (!std::getenv("KORVANE_BENCH_FIRST_PAINT"))
        return;
    AfterFirstPaint(window, [] {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        std::printf("%lld\n",
                    static_cast<long long>(
                        std::chrono::duration_cast<std::chrono::microseconds>(now).count()));
        std::fflush(stdout);
        std::_Exit(0); // the benchmark measures the start, not the teardown
    });
}

} // namespace korvane
