#pragma once

#include <cstdint>

namespace korvane {

// A text colour as red, green, blue. The control interface passes it as one 32-bit value with red
// in the lowest byte.
struct Colour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    constexpr std::uint32_t ToControlValue() const {
        return std::uint32_t(red) | (std::uint32_t(green) << 8) | (std::uint32_t(blue) << 16);
    }
    bool operator==(const Colour&) const = default;
};

namespace colours {
constexpr Colour kSourcePlain{0, 176, 0};
constexpr Colour kSourceSelected{0, 255, 0};
constexpr Colour kDestinationPlain{192, 192, 192};
constexpr Colour kDestinationHighlighted{0, 255, 255};
constexpr Colour kAuditionPlain{192, 192, 192};
constexpr Colour kAuditionHighlighted{0, 255, 0};
constexpr Colour kAssignmentText{0, 255, 255};
constexpr Colour kButtonOnText{255, 255, 128};
constexpr Colour kButtonOffText{0, 128, 0};
constexpr Colour kButtonBackground{53, 106, 106};
constexpr Colour kButtonGreyBackground{128, 128, 128}; // the audition buttons while off
constexpr Colour kDialogBackground{64, 128, 128};
constexpr Colour kBlack{0, 0, 0};
} // namespace colours

} // namespace korvane
