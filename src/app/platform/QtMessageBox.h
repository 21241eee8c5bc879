#pragma once

#include "platform/MessageBox.h"

class QWidget;

namespace korvane {

// Message boxes as Qt's modal QMessageBox, owned by the window given at construction.
class CQtMessageBox : public IMessageBox {
public:
    explicit CQtMessageBox(QWidget* owner) : m_pOwner(owner) {}

    MessageAnswer Show(const std::string& text, const std::string& caption, MessageIcon icon,
                       MessageButtons buttons) override;

private:
    QWidget* m_pOwner;
};

} // namespace korvane
