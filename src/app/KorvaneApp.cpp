#include "app/KorvaneApp.h"

#include "app/FirstPaint.h"
#include "app/MainWindow.h"
#include "app/ProgramLook.h"
#include "platform/AtomicFile.h"

#include <QApplication>

#include <string>

namespace korvane {

int CKorvaneApp::Run(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvane"));
    QApplication::setApplicationVersion(QStringLiteral("1.1"));
    QApplication::setDesktopFileName(QStringLiteral("korvane"));
    ApplyProgramLook();

    {
        CMainDlg mainWindow;
        m_pMainWindow = &mainWindow;
        // "korvane FILE" starts with FILE open (the desktop entry's %f, a file manager's Open
        // with).
        std::vector<std::string> arguments;
        for (const QString& argument : QApplication::arguments().mid(1)) {
            const QByteArray bytes = argument.toLocal8Bit();
            arguments.emplace_back(bytes.constData(), std::size_t(bytes.size()));
        }
        ExitAtFirstPaintWhenBenchmarked(mainWindow);
        // The soundfont loads in the background while the user opens and assigns, started once
        // the window is painted, so that the window does not wait for the audio libraries.
        AfterFirstPaint(mainWindow, [&mainWindow] { mainWindow.PrepareAudition(); });
        mainWindow.show();
        mainWindow.OpenFromCommandLine(arguments);
        mainWindow.exec();
        m_pMainWindow = nullptr;
        // Leaving this block releases the window and everything it holds; unsaved work is dropped.
    }
    // The result of the window does not matter: the program ends either way.
    return 0;
}

} // namespace korvane

namespace {
korvane::CKorvaneApp theApp;
}

int main(int argc, char** argv) {
    // Ctrl+C in the terminal or a logout during Save leaves no hidden temporary file behind.
    korvane::InstallTemporaryFileCleanup();
    return theApp.Run(argc, argv);
}
