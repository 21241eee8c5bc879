#pragma once

#include <QLineEdit>

#include <string>

namespace korvane {

// The text box of the settings dialogs. Like the label, it keeps the bytes last set and decodes
// them only to show them.
class CMdcText : public QLineEdit {
    Q_OBJECT

public:
    explicit CMdcText(QWidget* parent = nullptr);

    void SetText(const std::string& text);
    // The bytes last set, unless the user has edited the box since: then its text as UTF-8.
    std::string GetText() const;

private:
    std::string m_text;
};

} // namespace korvane
