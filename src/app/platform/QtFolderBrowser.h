#pragma once

#include "platform/FolderBrowser.h"

class QWidget;

namespace korvane {

// The folder browser as Qt's directory dialog, owned by the widget given at construction.
class CQtFolderBrowser : public IFolderBrowser {
public:
    explicit CQtFolderBrowser(QWidget* owner) : m_pOwner(owner) {}

    std::optional<std::string> BrowseForFolder(const std::string& title) override;

private:
    QWidget* m_pOwner;
};

} // namespace korvane
