#pragma once

#include "platform/MessageBox.h"

#include <memory>

class QMessageBox;
class QWidget;

namespace korvane {

// Message boxes as Qt's modal QMessageBox, owned by the window given at construction.
class CQtMessageBox : public IMessageBox {
public:
    explicit CQtMessageBox(QWidget* owner) : m_pOwner(owner) {}

    MessageAnswer Show(const std::string& text, const std::string& caption, MessageIcon icon,
                       MessageButtons buttons) override;

    // The box Show runs: caption and text decoded as every label decodes names (DisplayUtf8),
    // shown as plain text.
    static std::unique_ptr<QMessageBox> MakeBox(QWidget* owner, const std::string& text,
                                                const std::string& caption, MessageIcon icon,
                                                MessageButtons buttons);

private:
    QWidget* m_pOwner;
};

} // namespace korvane
