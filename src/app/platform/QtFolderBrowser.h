#pragma once

#include "platform/FolderBrowser.h"

class QWidget;

namespace korvane {

// The folder browser as Qt's QFileDialog in directory mode, owned by the window given.
class CQtFolderBrowser : public IFolderBrowser {
public:
    explicit CQtFolderBrowser(QWidget* owner) : m_pOwner(owner) {}

    std::optional<std::string> BrowseForFolder(const std::string& title,
                                               const std::string& startFolder) override;

private:
    QWidget* m_pOwner;
};

} // namespace korvane
