#include "app/dialogs/HelpWindow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHelpContentWidget>
#include <QHelpEngine>
#include <QHelpIndexWidget>
#include <QHelpLink>
#include <QHelpSearchEngine>
#include <QHelpSearchQueryWidget>
#include <QHelpSearchResultWidget>
#include <QRegularExpression>
#include <QSplitter>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace korvane {

namespace {

constexpr const char* kCollectionName = "korvane.qhc";
constexpr const char* kHelpFileName = "korvane.qch";

// A browser that reads the pages and pictures out of the help file.
class CHelpBrowser : public QTextBrowser {
public:
    CHelpBrowser(QHelpEngine& engine, QWidget* parent) : QTextBrowser(parent), m_engine(engine) {
        setObjectName(QStringLiteral("helpBrowser"));
        setOpenExternalLinks(true);
    }

    QVariant loadResource(int type, const QUrl& name) override {
        if (name.scheme() == QLatin1String("qthelp"))
            return m_engine.fileData(name);
        return QTextBrowser::loadResource(type, name);
    }

private:
    QHelpEngine& m_engine;
};

} // namespace

CHelpWindow::CHelpWindow(const QString& collectionFile, QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("helpWindow"));
    setWindowTitle(QStringLiteral("Korvane Help"));
    resize(900, 600);

    m_pEngine = new QHelpEngine(collectionFile, this);
    m_pEngine->setReadOnly(false);
    m_pEngine->setupData();

    m_pBrowser = new CHelpBrowser(*m_pEngine, this);

    m_pTabs = new QTabWidget(this);
    m_pTabs->setObjectName(QStringLiteral("helpTabs"));
    QHelpContentWidget* contents = m_pEngine->contentWidget();
    contents->setObjectName(QStringLiteral("helpContents"));
    QHelpIndexWidget* index = m_pEngine->indexWidget();
    index->setObjectName(QStringLiteral("helpIndex"));
    m_pTabs->addTab(contents, QStringLiteral("Contents"));
    m_pTabs->addTab(index, QStringLiteral("Index"));

    QHelpSearchEngine* search = m_pEngine->searchEngine();
    auto* searchTab = new QWidget(this);
    searchTab->setObjectName(QStringLiteral("helpSearch"));
    auto* searchLayout = new QVBoxLayout(searchTab);
    searchLayout->addWidget(search->queryWidget());
    searchLayout->addWidget(search->resultWidget(), 1);
    m_pTabs->addTab(searchTab, QStringLiteral("Search"));

    connect(contents, &QHelpContentWidget::linkActivated, this, &CHelpWindow::ShowPage);
    connect(index, &QHelpIndexWidget::documentActivated, this,
            [this](const QHelpLink& document) { ShowPage(document.url); });
    connect(index, &QHelpIndexWidget::documentsActivated, this,
            [this](const QList<QHelpLink>& documents) {
                if (!documents.isEmpty())
                    ShowPage(documents.front().url);
            });
    connect(search->queryWidget(), &QHelpSearchQueryWidget::search, this,
            [this, search] { Search(search->queryWidget()->searchInput()); });
    connect(search->resultWidget(), &QHelpSearchResultWidget::requestShowLink, this,
            &CHelpWindow::ShowPage);
    // The full-text index is built once per help file, in the background.
    search->scheduleIndexDocumentation();

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(m_pTabs);
    splitter->addWidget(m_pBrowser);
    splitter->setStretchFactor(1, 3);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);

    // The first page of the contents is the start page.
    const QList<QUrl> pages = m_pEngine->files(m_pEngine->registeredDocumentations().value(0),
                                               QString(), QStringLiteral("html"));
    for (const QUrl& page : pages) {
        if (page.path().endsWith(QLatin1String("/index.html"))) {
            ShowPage(page);
            break;
        }
    }
}

CHelpWindow::~CHelpWindow() = default;

void CHelpWindow::ShowTab(Tab tab) {
    m_pTabs->setCurrentIndex(int(tab));
    if (tab == Tab::Search)
        m_pEngine->searchEngine()->queryWidget()->setFocus();
    show();
    raise();
    activateWindow();
}

CHelpWindow::Tab CHelpWindow::GetCurrentTab() const {
    return Tab(m_pTabs->currentIndex());
}

QUrl CHelpWindow::GetCurrentPage() const {
    return m_pBrowser->source();
}

void CHelpWindow::ShowPage(const QUrl& page) {
    m_pBrowser->setSource(page);
}

void CHelpWindow::Search(const QString& typed) {
    m_pEngine->searchEngine()->search(HelpSearchQuery(typed));
}

QString HelpSearchQuery(const QString& typed) {
    QStringList words;
    for (QString word :
         typed.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
        word.remove(QLatin1Char('"'));
        if (!word.isEmpty())
            words << QLatin1Char('"') + word + QLatin1Char('"');
    }
    return words.join(QStringLiteral(" OR "));
}

QString FindHelpCollection(const QString& programFolder) {
    const QDir program(programFolder);
    QString folder;
    for (const QString& candidate :
         {program.absolutePath(),
          program.absoluteFilePath(QStringLiteral("../share/korvane/help"))}) {
        if (QFileInfo::exists(QDir(candidate).filePath(QLatin1String(kCollectionName))) &&
            QFileInfo::exists(QDir(candidate).filePath(QLatin1String(kHelpFileName)))) {
            folder = QDir(candidate).absolutePath();
            break;
        }
    }
    if (folder.isEmpty())
        return {};
    if (QFileInfo(folder).isWritable())
        return QDir(folder).filePath(QLatin1String(kCollectionName));

    // An installed, read-only copy: the collection and the help file go together into the cache,
    // refreshed whenever the installed help file is newer.
    const QString cache =
        QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/help");
    if (!QDir().mkpath(cache))
        return QDir(folder).filePath(QLatin1String(kCollectionName));
    for (const char* name : {kCollectionName, kHelpFileName}) {
        const QString from = QDir(folder).filePath(QLatin1String(name));
        const QString to = QDir(cache).filePath(QLatin1String(name));
        if (!QFileInfo::exists(to) ||
            QFileInfo(to).lastModified() < QFileInfo(from).lastModified()) {
            QFile::remove(to);
            QFile::copy(from, to);
            QFile(to).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        }
    }
    return QDir(cache).filePath(QLatin1String(kCollectionName));
}

} // namespace korvane
