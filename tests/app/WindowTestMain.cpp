#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

QtMessageHandler defaultHandler = nullptr;

// The offscreen platform reports that it cannot pass a fixed-size window's hints to a window
// manager it does not have; that says nothing about the window under test.
void FilterMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QLatin1String("does not support propagateSizeHints")))
        return;
    defaultHandler(type, context, message);
}

} // namespace

// The window tests need a QApplication; without a display they draw on Qt's offscreen platform.
int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    defaultHandler = qInstallMessageHandler(FilterMessages);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
