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
    // A caption is shown whole: the layout gives the label at least the caption's width, so it
    // is never cut to the width the label had before the layout sized it.
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(label->GetShownCaption()) +
                           2 * (label->indent() + label->frameWidth() + label->margin()) + 2);
    return label;
}

} // namespace korvane
