#pragma once

#include "platform/FileDialogs.h"
#include "platform/FolderBrowser.h"
#include "platform/MessageBox.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace korvane::testing {

// One message box as the user saw it.
struct ShownMessage {
    std::string text;
    std::string caption;
    MessageIcon icon;
    MessageButtons buttons;
    bool operator==(const ShownMessage&) const = default;
};

// Records every message box and answers from a script: queued answers first, then Ok for OK
// boxes and No for Yes/No boxes.
class CScriptedMessageBox : public IMessageBox {
public:
    MessageAnswer Show(const std::string& text, const std::string& caption, MessageIcon icon,
                       MessageButtons buttons) override {
        shown.push_back({text, caption, icon, buttons});
        if (!answers.empty()) {
            MessageAnswer answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }

    std::vector<ShownMessage> shown;
    std::deque<MessageAnswer> answers;
};

// One file dialog as the program opened it.
struct OpenedFileDialog {
    bool save = false;
    std::string folder;
    std::string initialName;
    std::vector<FileFilter> filters;
};

// Answers file dialogs from a script of chosen paths (nothing = Cancel); an empty script cancels.
class CScriptedFileDialogs : public IFileDialogs {
public:
    std::optional<std::string> GetOpenFileName(const std::string& folder,
                                               const std::vector<FileFilter>& filters) override {
        opened.push_back({false, folder, "", filters});
        return Next();
    }
    std::optional<std::string> GetSaveFileName(const std::string& folder,
                                               const std::string& initialName,
                                               const std::vector<FileFilter>& filters) override {
        opened.push_back({true, folder, initialName, filters});
        return Next();
    }

    std::deque<std::optional<std::string>> choices;
    std::vector<OpenedFileDialog> opened;

private:
    std::optional<std::string> Next() {
        if (choices.empty())
            return std::nullopt;
        auto choice = choices.front();
        choices.pop_front();
        return choice;
    }
};

// One folder browser as the program opened it.
struct OpenedFolderBrowser {
    std::string title;
    std::string startFolder;
    bool operator==(const OpenedFolderBrowser&) const = default;
};

// Answers folder browsers from a script of chosen folders (nothing = Cancel); an empty script
// cancels.
class CScriptedFolderBrowser : public IFolderBrowser {
public:
    std::optional<std::string> BrowseForFolder(const std::string& title,
                                               const std::string& startFolder) override {
        opened.push_back({title, startFolder});
        titles.push_back(title);
        if (choices.empty())
            return std::nullopt;
        auto choice = choices.front();
        choices.pop_front();
        return choice;
    }

    std::deque<std::optional<std::string>> choices;
    std::vector<OpenedFolderBrowser> opened;
    std::vector<std::string> titles; // the titles alone, in order
};

} // namespace korvane::testing
