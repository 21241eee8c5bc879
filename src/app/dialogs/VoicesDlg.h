#pragma once

#include <QDialog>

namespace korvane {

// "Reconfigure Voice Settings": the eight accompaniment parts with a voice text and four mixer
// sliders each. A layout only: it reads nothing from the style, and OK and Cancel both just close
// it. Each slider shows its value in the box to its right.
class CVoicesDlg : public QDialog {
    Q_OBJECT

public:
    explicit CVoicesDlg(QWidget* parent = nullptr);
};

} // namespace korvane
