#include "app/KorvaneApp.h"

#include "app/FirstPaint.h"
#include "app/MainWindow.h"
#include "app/ProgramLook.h"
#include "platform/AtomicFile.h"

#include <QApplication>

#include <algorithm>
#include <string>
#include <vector>

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
        // with). The name is taken as the bytes given, which QApplication has left in argv after
        // taking its own options: a name that is not UTF-8 has no QString form.
        const std::vector<std::string> arguments(argv + std::min(argc, 1), argv + argc);
        ExitAtFirstPaintWhenBenchmarked(mainWindow);
        // The soundfont loads in the background while the user opens and assigns, started once
        // the window is painted, so that the window does not wait for the audio libraries.
        AfterFirstPaint(mainWindow, [&mainWindow] { mainWindow.PrepareAudition(); });
        mainWindow.show();
        mainWindow.OpenFromCommandLine(arguments);
        mainWindow.exec();
        m_pMainWindow = nullptr;
        // Leaving this block releases the window and everything it holds; the window has asked
        // before ending with unsaved work.
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
