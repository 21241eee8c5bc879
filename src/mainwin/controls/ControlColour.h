#pragma once

#include <QColor>

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

} // namespace korvane
