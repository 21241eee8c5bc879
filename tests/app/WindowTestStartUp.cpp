#include "WindowTestFixture.h"

#include <QImage>
#include <QPixmap>

namespace korvane::testing {
namespace {

using WindowStartUp = WindowTest;

TEST_F(WindowStartUp, TitleIsTheProductAndTheFrameDoesNotResize) {
    CMainDlg& window = StartWindow();
    EXPECT_EQ(window.windowTitle(), QString("Korvane 1.1 SP1"));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_GT(window.width(), 300);
    EXPECT_GT(window.height(), 300);
}

TEST_F(WindowStartUp, TheSixSwitchedButtonsAreOffInDarkGreen) {
    StartWindow();
    for (const char* name : kSwitchedButtons) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(Button(name)->isEnabled());
        EXPECT_EQ(ButtonTextColour(Button(name)), Rgb(0, 128, 0));
        EXPECT_EQ(ButtonBackground(Button(name)), Rgb(53, 106, 106));
    }
}

TEST_F(WindowStartUp, TheButtonsNeverSwitchedAreOnInYellow) {
    StartWindow();
    const std::vector<std::pair<const char*, QString>> buttons = {
        {"openButton", "Open"},
        {"helpButton", "Help"},
        {"preferencesButton", "Preferences"},
        {"autoConvertButton", "Auto Convert"},
        {"exitButton", "Exit"}};
    for (const auto& [name, caption] : buttons) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(Button(name)->isEnabled());
        EXPECT_EQ(Button(name)->text(), caption);
        EXPECT_EQ(ButtonTextColour(Button(name)), Rgb(255, 255, 128));
        EXPECT_EQ(ButtonBackground(Button(name)), Rgb(53, 106, 106));
    }
}

TEST_F(WindowStartUp, TheAuditionButtonsAreOffAndGrey) {
    StartWindow();
    for (const char* name : {"playButton", "pauseButton", "stopButton"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(Button(name)->isEnabled());
        EXPECT_EQ(ButtonBackground(Button(name)), Rgb(128, 128, 128));
        EXPECT_TRUE(Button(name)->text().isEmpty());
        EXPECT_FALSE(Button(name)->icon().isNull());
    }
    EXPECT_EQ(Label("auditionLabel")->GetCaption(), "Audition");
    EXPECT_EQ(TextColour(Label("auditionLabel")), Rgb(192, 192, 192));
}

TEST_F(WindowStartUp, WithoutConfigurationTheFirstModelsLayoutFillsTheDestinationColumn) {
    StartWindow();
    EXPECT_EQ(ModelSelector()->currentText(), QString("PSR-9000"));
    EXPECT_EQ(Captions(Column::Destination), kSixteenLayout);
    for (int slot = 0; slot < 16; ++slot)
        EXPECT_EQ(TextColour(Destination(slot)), Rgb(192, 192, 192)) << slot;
}

TEST_F(WindowStartUp, TheSourceAndAssignmentColumnsAndTheFileNameAreEmpty) {
    StartWindow();
    EXPECT_EQ(Captions(Column::Source), std::vector<std::string>(16));
    EXPECT_EQ(Captions(Column::Assignment), std::vector<std::string>(16));
    EXPECT_EQ(Label("fileNameLabel")->GetCaption(), "");
    EXPECT_EQ(TextColour(Source(0)), Rgb(0, 176, 0));
    EXPECT_EQ(TextColour(Assignment(0)), Rgb(0, 255, 255));
}

TEST_F(WindowStartUp, AMissingConfigurationFileIsCreatedInTheStartFolder) {
    StartWindow();
    EXPECT_TRUE(std::filesystem::exists(PathOf("Korvane.ini")));
    EXPECT_EQ(Window().GetSettings().styleFolder, Folder());
    EXPECT_EQ(Window().GetSettings().saveFolder, Folder());
}

TEST_F(WindowStartUp, TheConfiguredModelIsSelectedAndItsLayoutShown) {
    WriteFile("Korvane.ini", std::string("[PSR Model]\nmodel=7\n"));
    StartWindow();
    EXPECT_EQ(ModelSelector()->currentText(), QString("PSR-540"));
    const std::vector<std::string> expected = {
        "SInt", "Main A", "Fill In AA", "Main B", "Fill In BB", "Intro B", "Ending B", "",
        "",     "",       "",           "",       "",           "",        "",         ""};
    EXPECT_EQ(Captions(Column::Destination), expected);
}

TEST_F(WindowStartUp, TheModelSelectorListsTheCatalogueUnsorted) {
    StartWindow();
    QStringList names;
    for (int i = 0; i < ModelSelector()->count(); ++i)
        names << ModelSelector()->itemText(i);
    EXPECT_EQ(names, QStringList({"PSR-9000", "PSR-8000", "PSR-7000", "PSR-6000", "PSR-4000",
                                  "PSR-740", "PSR-640", "PSR-540", "PSR-340", "PSR-730", "PSR-630",
                                  "PSR-530", "PSR-330"}));
}

// Each menu as its items read, a separator as "-"; "&Recent files" is the only disabled entry
// besides "Assign by &Name", which waits for an open file.
TEST_F(WindowStartUp, TheMenuBarHoldsEveryItemInOrder) {
    StartWindow();
    const std::vector<std::pair<QString, QStringList>> expected = {
        {"&File", {"&Open", "-", "&Save style", "-", "&Recent files", "-", "E&xit"}},
        {"&Edit",
         {"&Copy All", "Assign by &Name", "C&lear", "-", "&Undo", "&Redo", "-", "Con&vert"}},
        {"&View", {"Voices", "&Properties", "-", "&Conversions", "-", "Preferences"}},
        {"&Help", {"&Contents", "&Search...", "&Index...", "-", "&About Korvane"}}};
    const QList<QAction*> menus = Find<QMenuBar>("menuBar")->actions();
    ASSERT_EQ(menus.size(), qsizetype(expected.size()));
    for (std::size_t m = 0; m < expected.size(); ++m) {
        EXPECT_EQ(menus[m]->text(), expected[m].first);
        QStringList items;
        for (QAction* item : menus[m]->menu()->actions()) {
            items << (item->isSeparator() ? QString("-") : item->text());
            EXPECT_EQ(item->isEnabled(),
                      item->text() != "&Recent files" && item->text() != "Assign by &Name")
                << item->text().toStdString();
        }
        EXPECT_EQ(items, expected[m].second);
    }
}

TEST_F(WindowStartUp, TheDialogIsTealAndTheColumnsBlack) {
    StartWindow();
    const QImage picture = Window().grab().toImage();
    QWidget* client = Find<QWidget>("clientArea");
    const QPoint corner = client->mapTo(&Window(), QPoint(3, 3));
    EXPECT_EQ(QColor(picture.pixel(corner)), Rgb(64, 128, 128));
    // Right half of an empty column label: inside its border, away from any text.
    CLabelControl* label = Destination(15);
    const QPoint inside = label->mapTo(&Window(), QPoint(label->width() - 6, label->height() / 2));
    EXPECT_EQ(QColor(picture.pixel(inside)), Rgb(0, 0, 0));
    EXPECT_EQ(Label("fileNameLabel")->palette().color(QPalette::Window), Rgb(64, 128, 128));
    EXPECT_EQ(TextColour(Label("fileNameLabel")), Rgb(255, 255, 128));
}

TEST_F(WindowStartUp, EveryColumnLabelAndPanelHasASunkenBorder) {
    StartWindow();
    for (int row = 0; row < 16; ++row) {
        for (CLabelControl* label : {Source(row), Destination(row), Assignment(row)})
            EXPECT_EQ(label->frameShadow(), QFrame::Sunken) << label->objectName().toStdString();
    }
    for (const char* panel : {"exitPanel", "auditionLabel", "commandPanel"})
        EXPECT_EQ(Label(panel)->frameShadow(), QFrame::Sunken) << panel;
    EXPECT_EQ(Label("fileNameLabel")->frameShape(), QFrame::NoFrame);
}

// Placement checks that do not restate the unit conversion: rows go down in order, the three
// columns stand side by side, and each button lies on its panel.
TEST_F(WindowStartUp, ControlsStandInTheirColumnsAndOnTheirPanels) {
    StartWindow();
    for (int row = 0; row < 16; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(Source(row)->y(), Destination(row)->y());
        EXPECT_EQ(Source(row)->y(), Assignment(row)->y());
        EXPECT_LT(Source(row)->geometry().right(), Destination(row)->x());
        EXPECT_LT(Destination(row)->geometry().right(), Assignment(row)->x());
        EXPECT_LT(Assignment(row)->geometry().right(), Label("commandPanel")->x());
        if (row > 0) {
            EXPECT_GT(Source(row)->y(), Source(row - 1)->geometry().bottom());
        }
    }
    EXPECT_TRUE(Label("exitPanel")->geometry().contains(Button("exitButton")->geometry()));
    for (const char* name : {"playButton", "pauseButton", "stopButton"})
        EXPECT_TRUE(Label("auditionLabel")->geometry().contains(Button(name)->geometry())) << name;
    for (const char* name : {"saveButton", "propertiesButton", "helpButton", "preferencesButton",
                             "voicesButton", "copyAllButton", "clearButton"})
        EXPECT_TRUE(Label("commandPanel")->geometry().contains(Button(name)->geometry())) << name;
    const QRect client = Find<QWidget>("clientArea")->rect();
    EXPECT_TRUE(client.contains(Label("commandPanel")->geometry()));
    EXPECT_TRUE(client.contains(Assignment(15)->geometry()));
    // The panels lie below the buttons placed on them.
    QWidget* area = Find<QWidget>("clientArea");
    EXPECT_LT(area->children().indexOf(Label("commandPanel")),
              area->children().indexOf(Button("saveButton")));
}

TEST_F(WindowStartUp, TheFocusStartsOnOpen) {
    StartWindow();
    EXPECT_EQ(Window().focusWidget(), Button("openButton"));
}

TEST_F(WindowStartUp, TheAboutEntryStandsInTheWindowsContextMenu) {
    StartWindow();
    QWidget* client = Find<QWidget>("clientArea");
    EXPECT_EQ(client->contextMenuPolicy(), Qt::ActionsContextMenu);
    ASSERT_EQ(client->actions().size(), 1);
    EXPECT_EQ(client->actions()[0]->text(), QString("&About Korvane..."));
    client->actions()[0]->trigger();
    EXPECT_EQ(shownDialogs, std::vector<std::string>{"About Korvane"});
}

} // namespace
} // namespace korvane::testing
