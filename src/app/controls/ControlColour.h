#pragma once

#include <QColor>
#include <QPalette>
#include <QWidget>

#include <cstdint>

namespace korvane {

// Colours cross the control interface as one 32-bit value: red in the lowest byte, then green,
// then blue; the top byte is 0.
inline QColor ColourFromControlValue(std::uint32_t value) {
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

inline std::uint32_t ControlValueFromColour(const QColor& colour) {
    return std::uint32_t(colour.red()) | (std::uint32_t(colour.green()) << 8) |
           (std::uint32_t(colour.blue()) << 16);
}

// Sets one colour role of a widget's palette from a control value, for every colour group.
inline void SetControlColour(QWidget& widget, QPalette::ColorRole role, std::uint32_t value) {
    QPalette colours = widget.palette();
    colours.setColor(role, ColourFromControlValue(value));
    widget.setPalette(colours);
}

// The control value of one colour role of a widget's palette.
inline std::uint32_t GetControlColour(const QWidget& widget, QPalette::ColorRole role) {
    return ControlValueFromColour(widget.palette().color(role));
}

} // namespace korvane
