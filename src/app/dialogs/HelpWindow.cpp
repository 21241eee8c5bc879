#include "app/dialogs/HelpWindow.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHelpContentItem>
#include <QHelpContentModel>
#include <QHelpContentWidget>
#include <QHelpEngine>
#include <QHelpIndexWidget>
#include <QHelpLink>
#include <QHelpSearchEngine>
#include <QHelpSearchQueryWidget>
#include <QHelpSearchResultWidget>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSaveFile>
#include <QShortcut>
#include <QSplitter>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "app/dialogs/ScreenFit.h"

#include <utility>

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
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);

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
    // The index is long: a box above it keeps only the keywords that start with what is typed.
    auto* indexTab = new QWidget(this);
    auto* indexLayout = new QVBoxLayout(indexTab);
    m_pIndexFilter = new QLineEdit(indexTab);
    m_pIndexFilter->setObjectName(QStringLiteral("helpIndexFilter"));
    m_pIndexFilter->setPlaceholderText(QStringLiteral("Look for:"));
    m_pIndexFilter->setClearButtonEnabled(true);
    indexLayout->addWidget(m_pIndexFilter);
    indexLayout->addWidget(index, 1);
    m_pTabs->addTab(indexTab, QStringLiteral("Index"));
    connect(m_pIndexFilter, &QLineEdit::textChanged, index,
            [index](const QString& typed) { index->filterIndices(typed); });
    connect(m_pIndexFilter, &QLineEdit::returnPressed, index,
            &QHelpIndexWidget::activateCurrentItem);

    QHelpSearchEngine* search = m_pEngine->searchEngine();
    auto* searchTab = new QWidget(this);
    searchTab->setObjectName(QStringLiteral("helpSearch"));
    auto* searchLayout = new QVBoxLayout(searchTab);
    searchLayout->addWidget(search->queryWidget());
    searchLayout->addWidget(search->resultWidget(), 1);
    m_pTabs->addTab(searchTab, QStringLiteral("Search"));

    connect(contents, &QHelpContentWidget::linkActivated, this, &CHelpWindow::ShowPage);
    // One click on a title opens its page, and the whole tree stands open once it is read.
    connect(contents, &QHelpContentWidget::clicked, this, [this, contents](const QModelIndex& at) {
        if (QHelpContentItem* item = m_pEngine->contentModel()->contentItemAt(at))
            ShowPage(item->url());
    });
    connect(m_pEngine->contentModel(), &QHelpContentModel::contentsCreated, contents,
            &QTreeView::expandAll);
    contents->expandAll();
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
    // The full-text index is built once per help file, in the background; a search asked for
    // meanwhile runs when it is complete.
    connect(search, &QHelpSearchEngine::indexingStarted, this, [this] { m_indexing = true; });
    connect(search, &QHelpSearchEngine::indexingFinished, this, [this, search] {
        m_indexing = false;
        if (!m_pendingQuery.isEmpty())
            search->search(std::exchange(m_pendingQuery, QString()));
    });
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
    else if (tab == Tab::Index)
        m_pIndexFilter->setFocus();
    if (!isVisible())
        FitToScreen(*this, parentWidget());
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

void CHelpWindow::ShowNamedPage(const QString& fileName) {
    const QList<QUrl> pages = m_pEngine->files(m_pEngine->registeredDocumentations().value(0),
                                               QString(), QStringLiteral("html"));
    for (const QUrl& page : pages) {
        if (page.path().endsWith(QLatin1Char('/') + fileName)) {
            ShowPage(page);
            break;
        }
    }
    ShowTab(Tab::Contents);
}

void CHelpWindow::Search(const QString& typed) {
    if (m_indexing)
        m_pendingQuery = HelpSearchQuery(typed);
    else
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

namespace {

// What identifies an installed help: the size and SHA-256 of each of its two files, one line each.
QByteArray HelpStamp(const QDir& folder) {
    QByteArray stamp;
    for (const char* name : {kCollectionName, kHelpFileName}) {
        QFile file(folder.filePath(QLatin1String(name)));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QCryptographicHash hash(QCryptographicHash::Sha256);
        hash.addData(&file);
        stamp += QByteArray(name) + ' ' + QByteArray::number(file.size()) + ' ' +
                 hash.result().toHex() + '\n';
    }
    return stamp;
}

} // namespace

QString FindHelpCollection(const QString& programFolder, const QString& cacheFolder) {
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

    // The help engine writes into its collection and builds its search index beside it, so it
    // works on a copy in the cache, never beside the installed or built files. The copy is made
    // again whenever the help it came from has other contents, whatever the files' dates say.
    const QByteArray stamp = HelpStamp(QDir(folder));
    const QDir cache(cacheFolder.isEmpty()
                         ? QStandardPaths::writableLocation(QStandardPaths::CacheLocation) +
                               QStringLiteral("/help")
                         : cacheFolder);
    const QString stampFile = cache.filePath(QStringLiteral("korvane.stamp"));
    if (stamp.isEmpty() || !cache.mkpath(QStringLiteral(".")))
        return {};
    QFile kept(stampFile);
    if (kept.open(QIODevice::ReadOnly) && kept.readAll() == stamp &&
        QFileInfo::exists(cache.filePath(QLatin1String(kCollectionName))) &&
        QFileInfo::exists(cache.filePath(QLatin1String(kHelpFileName))))
        return cache.filePath(QLatin1String(kCollectionName));
    kept.close();

    QFile::remove(stampFile);
    // The search index of the old help goes with it.
    QDir(cache.filePath(QStringLiteral(".korvane"))).removeRecursively();
    for (const char* name : {kCollectionName, kHelpFileName}) {
        const QString to = cache.filePath(QLatin1String(name));
        QFile::remove(to);
        if (!QFile::copy(QDir(folder).filePath(QLatin1String(name)), to))
            return {};
        QFile(to).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
    QSaveFile written(stampFile);
    if (written.open(QIODevice::WriteOnly) && written.write(stamp) == stamp.size())
        written.commit();
    return cache.filePath(QLatin1String(kCollectionName));
}

} // namespace korvane
