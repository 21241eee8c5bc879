// Recent files, dropping files on the window, the file named on the command line, and finding an
// answer in the help's full-text search.
#include "WindowTestFixture.h"

#include "app/dialogs/HelpWindow.h"

#include <QFileInfo>
#include <QHelpEngine>
#include <QHelpSearchEngine>
#include <QHelpSearchResult>
#include <QMimeData>
#include <QSignalSpy>
#include <QUrl>

namespace korvane::testing {
namespace {

class ConvenienceTest : public WindowTest {
protected:
    std::vector<std::string> RecentMenu() {
        std::vector<std::string> texts;
        for (QAction* action : Find<QMenu>("recentFilesMenu")->actions())
            texts.push_back(action->text().toStdString());
        return texts;
    }

    void Drop(const std::vector<std::string>& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const std::string& path : paths) // as a file manager sends them: bytes escaped
            urls << QUrl::fromEncoded("file://" +
                                      QByteArray::fromStdString(path).toPercentEncoding("/"));
        data.setUrls(urls);
        const QPoint centre = Window().rect().center();
        QDragEnterEvent enter(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&Window(), &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(centre), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&Window(), &drop);
    }
};

TEST_F(ConvenienceTest, RecentFilesListTheFilesOpenedNewestFirst) {
    WriteFile("Korvane.ini", std::string("[Most Recently Used]\nsize=2\n"));
    const std::string first = WriteStyle("first.sty", {"Main A"});
    const std::string second = WriteStyle("second.sty", {"Main B"});
    const std::string third = WriteStyle("rock & roll.sty", {"Main C"});
    const std::string thirdShown = PathOf("rock && roll.sty"); // the menu shows "&" as it is
    StartWindow();
    EXPECT_FALSE(Action("recentFilesAction")->isEnabled()); // nothing opened yet
    for (const std::string& path : {first, second, third})
        OpenThroughButton(path);
    EXPECT_TRUE(Action("recentFilesAction")->isEnabled());
    EXPECT_EQ(RecentMenu(), (std::vector<std::string>{"&1 " + thirdShown, "&2 " + second}));
    EXPECT_EQ(ReadBytes(PathOf("Korvane.ini")),
              "[Most Recently Used]\nsize=2\n[Recent File List]\nFile1=" + third +
                  "\nFile2=" + second + "\n");

    // Choosing an entry opens it as Open does, and it moves to the top.
    Action("recentFile1")->trigger();
    EXPECT_EQ(Source(0)->GetCaption(), "Main B");
    EXPECT_EQ(RecentMenu(), (std::vector<std::string>{"&1 " + second, "&2 " + thirdShown}));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ConvenienceTest, RecentFileThatNoLongerExistsIsRemovedWithAMessage) {
    WriteFile("Korvane.ini", std::string("[Most Recently Used]\nsize=4\n"));
    const std::string kept = WriteStyle("kept.sty", {"Main A"});
    const std::string gone = WriteStyle("gone.sty", {"Main B"});
    StartWindow();
    OpenThroughButton(kept);
    OpenThroughButton(gone);
    std::filesystem::remove(gone);

    Action("recentFile0")->trigger();
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{
                                  {"The file " + gone +
                                       " no longer exists.\nIt has been removed from the "
                                       "recent files.",
                                   "Sorry...", MessageIcon::Exclamation, MessageButtons::Ok}}));
    EXPECT_EQ(RecentMenu(), std::vector<std::string>{"&1 " + kept});
    EXPECT_NE(ReadBytes(PathOf("Korvane.ini")).find("File1=" + kept + "\nFile2=\n"),
              std::string::npos);
}

TEST_F(ConvenienceTest, DroppedFileOpensAsOpenDoes) {
    const std::string path = WriteStyle("dropped.sty", {"Intro A", "Main A"});
    StartWindow();
    Drop({path});
    EXPECT_EQ(Source(0)->GetCaption(), "Intro A");
    EXPECT_EQ(Source(1)->GetCaption(), "Main A");
    EXPECT_EQ(Label("fileNameLabel")->GetCaption(), "dropped.sty");
    EXPECT_TRUE(messages.shown.empty());

    // A damaged file gets the reader's message, as through Open.
    WriteFile("broken.sty", std::string("MThd\x00\x00", 6));
    Drop({PathOf("broken.sty")});
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown.front().caption, "Sorry...");
}

TEST_F(ConvenienceTest, SeveralDroppedFilesOpenTheFirstAndSaySo) {
    const std::string first = WriteStyle("caf\xE9.sty", {"Main A"}); // a Latin-1 name
    const std::string second = WriteStyle("two.sty", {"Main B"});
    StartWindow();
    Drop({first, second});
    EXPECT_EQ(Source(0)->GetCaption(), "Main A");
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{
                                  {"2 files were dropped. Korvane opens one file at a "
                                   "time, so only caf\xE9.sty has been opened.",
                                   "Alert...", MessageIcon::Information, MessageButtons::Ok}}));
    Drop({PathOf("missing.sty"), second}); // not opened: only the reader's message
    EXPECT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[1].caption, "Sorry...");
}

TEST_F(ConvenienceTest, FileNamedOnTheCommandLineIsOpen) {
    const std::string path = WriteStyle("start.sty", {"Main A", "Fill In AA"});
    StartWindow();
    Window().OpenFromCommandLine({path});
    EXPECT_EQ(Source(1)->GetCaption(), "Fill In AA");
    EXPECT_EQ(Label("fileNameLabel")->GetCaption(), "start.sty");

    StartWindow();
    Window().OpenFromCommandLine({PathOf("missing.sty")});
    EXPECT_EQ(Source(0)->GetCaption(), "");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown.front().caption, "Sorry...");
}

// A new user asks the help's search how to convert a folder of styles for a PSR-540.
TEST_F(ConvenienceTest, HelpSearchFindsTheFolderConversion) {
    const std::string copy = PathOf("help");
    std::filesystem::create_directory(copy);
    for (const char* name : {"korvane.qhc", "korvane.qch"}) {
        std::filesystem::copy_file(std::filesystem::path(KORVANE_HELP_COLLECTION).parent_path() /
                                       name,
                                   std::filesystem::path(copy) / name);
    }
    StartWindow();
    Window().SetHelpCollection(QString::fromStdString(copy + "/korvane.qhc"));
    Action("searchAction")->trigger();
    ASSERT_NE(Window().GetHelpWindow(), nullptr);
    // The search is asked for at once, while the window's own indexing runs: it waits for it.
    QHelpSearchEngine* search = Window().GetHelpWindow()->GetEngine().searchEngine();
    QSignalSpy searched(search, &QHelpSearchEngine::searchingFinished);
    Window().GetHelpWindow()->Search(
        QStringLiteral("how do I convert my folder of styles for my PSR-540"));
    ASSERT_TRUE(searched.wait(60000));
    const QList<QHelpSearchResult> results = search->searchResults(0, search->searchResultCount());
    ASSERT_FALSE(results.isEmpty());
    EXPECT_EQ(results.front().url().fileName(), "folder.html");
}

TEST(HelpSearchQueryTest, AnyOfTheWordsEachLiterally) {
    EXPECT_EQ(HelpSearchQuery(QStringLiteral("  convert  PSR-540\t\"folder\" ")),
              QStringLiteral("\"convert\" OR \"PSR-540\" OR \"folder\""));
    EXPECT_EQ(HelpSearchQuery(QStringLiteral(" \" ")), QString());
}

} // namespace
} // namespace korvane::testing

namespace korvane::testing {
namespace {

// The help is found beside the program (a build) or in the data folder of an installed program,
// only when both of its files are there, and is used from a copy in the cache that follows the
// installed contents, even when an upgrade brings files with older dates.
TEST(HelpLookupTest, UsesACacheCopyThatFollowsTheInstalledContents) {
    CTemporaryFolder root;
    using namespace std::chrono_literals;
    const std::filesystem::path bin = std::filesystem::path(root.Path()) / "bin";
    const std::filesystem::path share = std::filesystem::path(root.Path()) / "share/korvane/help";
    const QString cache = QString::fromStdString(root.File("cache"));
    std::filesystem::create_directories(bin);
    std::filesystem::create_directories(share);
    const QString program = QString::fromStdString(bin.string());
    std::ofstream(share / "korvane.qhc") << "collection 1";
    EXPECT_EQ(FindHelpCollection(program, cache), QString()); // the help file itself is missing
    std::ofstream(share / "korvane.qch") << "help 1";
    EXPECT_EQ(FindHelpCollection(program, cache), cache + "/korvane.qhc");
    EXPECT_EQ(ReadBytes(root.File("cache/korvane.qch")), "help 1");

    const auto lastWeek = std::filesystem::last_write_time(share / "korvane.qch") - 168h;
    std::ofstream(share / "korvane.qch") << "help 2"; // same size, other contents, older date
    std::filesystem::last_write_time(share / "korvane.qch", lastWeek);
    EXPECT_EQ(FindHelpCollection(program, cache), cache + "/korvane.qhc");
    EXPECT_EQ(ReadBytes(root.File("cache/korvane.qch")), "help 2");

    std::ofstream(bin / "korvane.qhc") << "collection 3";
    std::ofstream(bin / "korvane.qch") << "help 3";
    EXPECT_EQ(FindHelpCollection(program, cache), cache + "/korvane.qhc");
    EXPECT_EQ(ReadBytes(root.File("cache/korvane.qch")), "help 3");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(bin), {}), 2); // nothing beside
}

} // namespace
} // namespace korvane::testing
