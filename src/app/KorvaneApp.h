#pragma once

namespace korvane {

class CMainDlg;

// The application object: prepares the look of every dialog, runs the main window modally and
// ends the program when it closes.
class CKorvaneApp {
public:
    // Runs the whole program; returns the process's exit code.
    int Run(int argc, char** argv);

private:
    CMainDlg* m_pMainWindow = nullptr; // only while it runs
};

} // namespace korvane
