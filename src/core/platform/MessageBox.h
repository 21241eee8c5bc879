#pragma once

#include <string>

namespace korvane {

enum class MessageIcon { None, Exclamation, Question, Information };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

// Modal message boxes owned by the main window. The window shows Qt's; korvane-cli prints the
// text to stderr; tests answer by script.
class IMessageBox {
public:
    virtual ~IMessageBox() = default;
    virtual MessageAnswer Show(const std::string& text, const std::string& caption,
                               MessageIcon icon, MessageButtons buttons) = 0;
};

// The file-error box of the reader and the writer: caption "Sorry...", OK, no icon.
inline void ReportFileError(IMessageBox& messages, const std::string& text) {
    messages.Show(text, "Sorry...", MessageIcon::None, MessageButtons::Ok);
}

} // namespace korvane
