#pragma once

#include <QDialog>

namespace korvane {

// "About Korvane": the icon, the release and the credits.
class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

} // namespace korvane
