#pragma once

#include "app/controls/LabelControl.h"
#include "assignment/Colours.h"

#include <string>

namespace korvane {

// The settings dialogs' captions: label controls in one text colour on one background.
inline CLabelControl* MakeDialogLabel(QWidget* parent, const char* name, const std::string& caption,
                                      Colour text, Colour back) {
    auto* label = new CLabelControl(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->SetCaption(caption);
    label->SetTextColour(text.ToControlValue());
    label->SetBackColour(back.ToControlValue());
    return label;
}

} // namespace korvane
