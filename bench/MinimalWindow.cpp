// The start-up benchmark's baseline: the smallest Qt window, a label in a widget, with the same
// first-paint hook as Korvane's window.

#include "app/FirstPaint.h"

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(QStringLiteral("Korvane"), &window));
    window.resize(640, 480);
    korvane::ExitAtFirstPaintWhenBenchmarked(window);
    window.show();
    return application.exec();
}
