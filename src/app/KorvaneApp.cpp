#include "app/KorvaneApp.h"

#include "app/MainWindow.h"
#include "app/controls/ControlColour.h"
#include "assignment/Colours.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

#include <string>

namespace korvane {

int CKorvaneApp::Run(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvane"));
    QApplication::setApplicationVersion(QStringLiteral("1.1"));
    QApplication::setDesktopFileName(QStringLiteral("korvane"));
    // Fusion draws buttons in the colours they are given, on every desktop.
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Fusion"))) {
        QApplication::setStyle(style);
    }

    // Every dialog of the program, message boxes and file dialogs included: teal with black text.
    QPalette dialogColours = QApplication::palette();
    dialogColours.setColor(QPalette::Window,
                           ColourFromControlValue(colours::kDialogBackground.ToControlValue()));
    dialogColours.setColor(QPalette::WindowText,
                           ColourFromControlValue(colours::kBlack.ToControlValue()));
    QApplication::setPalette(dialogColours, "QDialog");

    {
        CMainDlg mainWindow;
        m_pMainWindow = &mainWindow;
        // A file named on the command line (Qt has taken its own options out of argv) is opened
        // as soon as the window runs, so that its messages have a window to belong to.
        if (argc > 1) {
            const std::string path = argv[1];
            QMetaObject::invokeMethod(
                &mainWindow, [&mainWindow, path] { mainWindow.OpenFile(path); },
                Qt::QueuedConnection);
        }
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
    return theApp.Run(argc, argv);
}
