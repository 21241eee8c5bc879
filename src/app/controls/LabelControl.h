#pragma once

#include <QLabel>

#include <cstdint>
#include <string>

namespace korvane {

// The window's label: a caption, a text colour, a background and a click. Section names travel
// through captions, so the caption is kept as the bytes last set and read back unchanged; it is
// decoded only to be drawn, by the same rule korvane-cli uses (valid UTF-8 as UTF-8, anything
// else as Latin-1). A caption too long for the label is cut in the middle, so that both the file
// name's start and the section name at the end stay readable; the whole text is then the tooltip.
class CLabelControl : public QLabel {
    Q_OBJECT

public:
    explicit CLabelControl(QWidget* parent = nullptr);

    void SetCaption(const std::string& caption);
    std::string GetCaption() const { return m_caption; }
    // The caption as text, before any cutting.
    const QString& GetShownCaption() const { return m_shown; }

    // A note shown in the tooltip under the caption (bytes, decoded as the caption is); empty for
    // none.
    void SetNote(const std::string& note);
    void SetTextColour(std::uint32_t colour);
    std::uint32_t GetTextColour() const;
    void SetBackColour(std::uint32_t colour);
    std::uint32_t GetBackColour() const;
    void SetSunken(bool sunken);
    // A label of the section columns: it takes the focus, Space and Enter click it, and it draws
    // the focus as a dotted frame.
    void SetKeyboardClickable();
    // Dragging from the label (past the platform's drag distance) emits dragStarted instead of a
    // click.
    void SetDragSource();
    // Drops of mimeType onto the label are accepted and emit dropped with their data.
    void SetDropTarget(const QString& mimeType);

Q_SIGNALS:
    void clicked();
    void dragStarted();
    void dropped(const QByteArray& data);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // A double click is one click to this control, not two.
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void FitCaption();

    std::string m_caption;
    QString m_shown;
    QString m_note;
    bool m_pressed = false;
    bool m_keyboardClickable = false;
    bool m_dragSource = false;
    QPoint m_pressedAt;
    QString m_dropMimeType;
};

} // namespace korvane
