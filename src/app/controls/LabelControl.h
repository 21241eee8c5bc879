#pragma once

#include <QLabel>

#include <cstdint>
#include <string>

namespace korvane {

// The window's label: a caption, a text colour, a background and a click. Section names travel
// through captions, so the caption is kept as the bytes last set and read back unchanged; it is
// decoded only to be drawn.
class CLabelControl : public QLabel {
    Q_OBJECT

public:
    explicit CLabelControl(QWidget* parent = nullptr);

    void SetCaption(const std::string& caption);
    std::string GetCaption() const { return m_caption; }

    void SetTextColour(std::uint32_t colour);
    std::uint32_t GetTextColour() const;
    void SetBackColour(std::uint32_t colour);
    std::uint32_t GetBackColour() const;
    void SetSunken(bool sunken);

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // A double click is one click to this control, not two.
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    std::string m_caption;
    bool m_pressed = false;
};

} // namespace korvane
