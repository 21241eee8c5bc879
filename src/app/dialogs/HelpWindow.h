#pragma once

#include <QString>
#include <QUrl>
#include <QWidget>

class QHelpEngine;
class QLineEdit;
class QTabWidget;
class QTextBrowser;

namespace korvane {

// The help viewer: Korvane's compressed help shown with contents, index and full-text search tabs
// beside the page. Made once, at the first help command, and kept for the rest of the run.
class CHelpWindow : public QWidget {
    Q_OBJECT

public:
    // The tabs, in the order they stand.
    enum class Tab { Contents = 0, Index = 1, Search = 2 };

    // The window over the help collection file (.qhc) given.
    explicit CHelpWindow(const QString& collectionFile, QWidget* parent = nullptr);
    ~CHelpWindow() override;

    // Shows the window, raised, on the tab given.
    void ShowTab(Tab tab);
    Tab GetCurrentTab() const;

    QHelpEngine& GetEngine() { return *m_pEngine; }
    QUrl GetCurrentPage() const;
    void ShowPage(const QUrl& page);
    // Shows the window on the page of that file name (such as "voices.html").
    void ShowNamedPage(const QString& fileName);
    // Runs a full-text search for the words typed, as the search tab's button does. While the
    // window's own indexing runs, the search waits for it: an index half built finds nothing.
    void Search(const QString& typed);

private:
    QHelpEngine* m_pEngine = nullptr;
    QTabWidget* m_pTabs = nullptr;
    QTextBrowser* m_pBrowser = nullptr;
    QLineEdit* m_pIndexFilter = nullptr;
    bool m_indexing = true; // indexing is scheduled as the window is made
    QString m_pendingQuery;
};

// The full-text query for what a user typed: any of the words, each taken literally, so that a
// question in plain words ("how do I convert my folder of styles for my PSR-540") finds the pages
// that answer it, best first, and a word such as PSR-540 is not read as query syntax.
QString HelpSearchQuery(const QString& typed);

// The help collection beside the program (a build), or in the data folder of an installed
// program, copied with its help file into cacheFolder (by default the user's cache) and refreshed
// there whenever their contents change; empty when there is none. Nothing is written beside them.
QString FindHelpCollection(const QString& programFolder, const QString& cacheFolder = {});

} // namespace korvane
