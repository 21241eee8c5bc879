#pragma once

#include "assignment/Colours.h"

#include <QPushButton>

#include <cstdint>

namespace korvane {

// The window's command button: background and text colour, enabled, and the on/off button state
// by which the window switches its commands. A picture button shows a drawn media symbol in its
// text colour instead of a caption. The button draws itself: a flat face in its background colour
// with a raised edge, the caption or symbol in its text colour, and a dotted focus mark in the text
// colour, which shows on the teal face where the style's own focus frame does not.
class CCommandButton : public QPushButton {
    Q_OBJECT

public:
    enum class Picture { None, Play, Pause, Stop };

    explicit CCommandButton(const QString& caption, QWidget* parent = nullptr);
    CCommandButton(Picture picture, QWidget* parent = nullptr);

    void SetBackColour(std::uint32_t colour);
    std::uint32_t GetBackColour() const;
    void SetTextColour(std::uint32_t colour);
    std::uint32_t GetTextColour() const;
    void SetEnabled(bool enabled) { setEnabled(enabled); }

    // On: enabled with text 255, 255, 128. Off: disabled with text 0, 128, 0.
    void SetButtonState(bool on);

    static constexpr std::uint32_t kOnTextColour = colours::kButtonOnText.ToControlValue();
    static constexpr std::uint32_t kOffTextColour = colours::kButtonOffText.ToControlValue();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void DrawPicture();

    Picture m_picture = Picture::None;
};

} // namespace korvane
