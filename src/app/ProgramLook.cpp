#include "app/ProgramLook.h"

#include "app/controls/ControlColour.h"
#include "assignment/Colours.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

namespace korvane {

void ApplyProgramLook() {
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Fusion"))) {
        QApplication::setStyle(style);
    }
    QPalette dialogColours = QApplication::palette();
    dialogColours.setColor(QPalette::Window,
                           ColourFromControlValue(colours::kDialogBackground.ToControlValue()));
    dialogColours.setColor(QPalette::WindowText,
                           ColourFromControlValue(colours::kBlack.ToControlValue()));
    QApplication::setPalette(dialogColours, "QDialog");
}

} // namespace korvane
