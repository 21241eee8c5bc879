// Store Pattern, the Configure Conversion dialog, Assign by Name and Auto Convert, as a user
// reaches them through the window.

#include "WindowTestFixture.h"

#include "app/dialogs/ConversionDlg.h"
#include "settings/ProfileFile.h"
#include "support/SectionNames.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>

namespace korvane::testing {
namespace {

class WindowPatterns : public WindowTest {
protected:
    std::string Stored(const char* section, const std::string& key) {
        return CProfileFile(PathOf("Korvane.ini")).ReadString(section, key, "missing", 260);
    }

    // Answers the next dialog the window runs with the given script.
    void AnswerDialog(std::function<void(QDialog&)> script) {
        Window().SetDialogRunner([script](QDialog& dialog) {
            dialog.show();
            script(dialog);
            return dialog.result();
        });
    }

    template <typename T> static T* In(QDialog& dialog, const char* name) {
        T* child = dialog.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
};

TEST_F(WindowPatterns, StorePatternWritesTheStepsAndConfirms) {
    StartWindow();
    EXPECT_FALSE(Button("storePatternButton")->isEnabled());
    Window().OnStorePattern(); // the button is off; the command still answers
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "You must open a style file first\nso that you have something to store.");

    OpenThroughButton(WriteStyle("my.style.sty", {"SInt", "Main A"}));
    Assign(1, 1);
    EXPECT_TRUE(Button("storePatternButton")->isEnabled());
    Click(Button("storePatternButton"));
    EXPECT_EQ(messages.shown.back(), (ShownMessage{"Pattern storage complete.", "You did it!",
                                                   MessageIcon::Information, MessageButtons::Ok}));
    EXPECT_EQ(Stored("Conversion Pattern", "step1"), "Main A,Main A");
    for (int step : {0, 2, 15})
        EXPECT_EQ(Stored("Conversion Pattern", "step" + std::to_string(step)), "") << step;
    EXPECT_TRUE(Window().GetSettings().patternLoaded);
}

TEST_F(WindowPatterns, TheConversionsDialogShowsThePatternAndOkWritesTheFolders) {
    WriteFile("Korvane.ini", std::string("[Conversion Pattern]\nstep1=Main A,Main A\n"
                                         "[Conversion Files]\nfrom=\nto=/w\xE9out\n"));
    StartWindow();
    folderBrowser.choices = {std::string("/chosen/in"), std::nullopt};
    AnswerDialog([this](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Configure Conversion ");
        EXPECT_EQ(In<QLineEdit>(dialog, "fromFolderEdit")->text().toStdString(), Folder());
        EXPECT_EQ(In<QLineEdit>(dialog, "toFolderEdit")->text(), "/w\u00E9out"); // Latin-1
        EXPECT_EQ(In<CLabelControl>(dialog, "fromCell1")->GetCaption(), " Main A");
        EXPECT_EQ(In<CLabelControl>(dialog, "toCell1")->GetCaption(), " Main A");
        EXPECT_EQ(In<CLabelControl>(dialog, "fromCell0")->GetCaption(), " ");
        Click(In<QPushButton>(dialog, "browseFromButton"));
        Click(In<QPushButton>(dialog, "browseToButton")); // cancelled: stays
        In<QCheckBox>(dialog, "overwriteCheck")->setChecked(true);
        In<QCheckBox>(dialog, "entireFolderCheck")->setChecked(true);
        Click(In<QPushButton>(dialog, "okButton"));
    });
    Action("conversionsAction")->trigger();

    EXPECT_EQ(folderBrowser.titles,
              (std::vector<std::string>{"Select a style folder to read.",
                                        "Select a style folder to write conversions."}));
    const CSettings& settings = Window().GetSettings();
    EXPECT_EQ(settings.conversionSourceFolder, "/chosen/in");
    EXPECT_EQ(settings.conversionTargetFolder, "/w\xE9out"); // not edited: its own bytes
    EXPECT_TRUE(settings.overwrite);
    EXPECT_TRUE(settings.entireFolder);
    EXPECT_EQ(Stored("Conversion Files", "from"), "/chosen/in");
    EXPECT_EQ(Stored("Conversion Files", "to"), "/w\xE9out");
    EXPECT_EQ(Stored("Conversion Files", "overwrite"), "Y");
    EXPECT_EQ(Stored("Conversion Files", "entire"), "Y");
}

TEST_F(WindowPatterns, CancelInTheConversionsDialogChangesNothing) {
    const std::string ini = "[Conversion Files]\nfrom=/in\nto=/out\n";
    WriteFile("Korvane.ini", ini);
    StartWindow();
    folderBrowser.choices = {std::string("/elsewhere")};
    AnswerDialog([this](QDialog& dialog) {
        Click(In<QPushButton>(dialog, "browseFromButton"));
        EXPECT_EQ(In<QLineEdit>(dialog, "fromFolderEdit")->text(), "/elsewhere");
        In<QCheckBox>(dialog, "overwriteCheck")->setChecked(true);
        Click(In<QPushButton>(dialog, "cancelButton"));
    });
    Window().OnConversions();
    EXPECT_EQ(Window().GetSettings().conversionSourceFolder, "/in");
    EXPECT_FALSE(Window().GetSettings().overwrite);
    EXPECT_EQ(ReadBytes(PathOf("Korvane.ini")), ini);
}

TEST_F(WindowPatterns, AssignByNameIsBelowCopyAllAndOnWhileAFileIsOpen) {
    StartWindow();
    QAction* copyAll = Action("copyAllAction");
    QAction* byName = Action("assignByNameAction");
    ASSERT_TRUE(copyAll && byName);
    EXPECT_EQ(byName->text(), "Assign by &Name");
    const QList<QAction*> edit = Find<QMenuBar>("menuBar")->actions()[1]->menu()->actions();
    ASSERT_GE(edit.size(), 2);
    EXPECT_EQ(edit[0], copyAll);
    EXPECT_EQ(edit[1], byName);
    EXPECT_FALSE(byName->isEnabled());

    OpenThroughButton(WriteStyle("real.sty", {"SInt", "Main A", "Main B", "Fill In AA"}));
    EXPECT_TRUE(byName->isEnabled());
    byName->trigger();
    std::vector<std::string> expected(16);
    expected[0] = "real.sty SInt";
    expected[1] = "real.sty Main A";
    expected[2] = "real.sty Fill In AA";
    expected[5] = "real.sty Main B";
    EXPECT_EQ(Captions(Column::Assignment), expected);
    EXPECT_TRUE(messages.shown.empty());
    Click(Button("clearButton"));
    EXPECT_FALSE(byName->isEnabled());
}

TEST_F(WindowPatterns, AutoConvertOpensReplaysAndSaves) {
    std::filesystem::create_directory(PathOf("in"));
    std::filesystem::create_directory(PathOf("out"));
    WriteFile("Korvane.ini",
              "[PSR Model]\nmodel=5\n[Conversion Pattern]\nstep1=Main A,Main A\nstep5=Main B,Main "
              "B\n[Conversion Files]\nfrom=" +
                  PathOf("in") + "\nto=" + PathOf("out") + "\n");
    StartWindow();
    dialogs.choices = {WriteStyle("in/three.sty", {"SInt", "Main A", "Main B"}),
                       PathOf("out/three.sty")};
    Click(Button("autoConvertButton"));

    ASSERT_EQ(dialogs.opened.size(), 2u);
    EXPECT_EQ(dialogs.opened[0].folder, PathOf("in"));
    EXPECT_EQ(dialogs.opened[1].folder, PathOf("out"));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(SectionNamesOfFile(PathOf("out/three.sty")),
              (std::vector<std::string>{"Main A", "Main B"}));
    EXPECT_FALSE(Button("saveButton")->isEnabled()); // Save cleared the work
}

TEST_F(WindowPatterns, AutoConvertConvertsTheWholeFolderAfterYes) {
    std::filesystem::create_directory(PathOf("in"));
    std::filesystem::create_directory(PathOf("out"));
    WriteStyle("in/a.sty", {"SInt", "Main A", "Main B"});
    WriteStyle("in/b.sty", {"Main B", "Main A"}, 0x40);
    ByteArray damaged = MakeStyleBytes({"SInt", "Main A"}, 0x3C);
    damaged.resize(60);
    WriteFile("in/c.sty", damaged);
    WriteFile("Korvane.ini", "[Conversion Pattern]\nstep1=Main A,Main A\nstep5=Main B,Main B\n"
                             "[Conversion Files]\nfrom=" +
                                 PathOf("in") + "\nto=" + PathOf("out") + "\nentire=Y\n");
    StartWindow();
    messages.answers = {MessageAnswer::Yes};
    Click(Button("autoConvertButton"));

    EXPECT_TRUE(dialogs.opened.empty());
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0].caption, "Alert...");
    EXPECT_EQ(messages.shown[1].caption, "Auto Convert");
    EXPECT_EQ(messages.shown[1].text, "Converted: 2 of 3 style files.\n"
                                      "Skipped: 0 (exists: 0, not a style: 0)\n"
                                      "Failed: 1\n"
                                      "\nc.sty (failed): File c.sty is damaged: it ends in the "
                                      "middle of its data. Cannot process further.");
    EXPECT_EQ(SectionNamesOfFile(PathOf("out/a.sty")),
              (std::vector<std::string>{"Main A", "Main B"}));
    EXPECT_EQ(SectionNamesOfFile(PathOf("out/b.sty")),
              (std::vector<std::string>{"Main A", "Main B"}));
    EXPECT_EQ(Window().findChild<QProgressDialog*>("folderProgress"), nullptr);
}

TEST_F(WindowPatterns, CancelKeepsTheProgressUpUntilTheWorkersHaveStopped) {
    std::filesystem::create_directory(PathOf("in"));
    std::filesystem::create_directory(PathOf("out"));
    for (int i = 0; i < 200; ++i) // more than the workers convert before the click is handled
        WriteStyle("in/s" + std::to_string(i) + ".sty", {"SInt", "Main A"});
    WriteFile("Korvane.ini",
              "[Conversion Pattern]\nstep1=Main A,Main A\n[Conversion Files]\nfrom=" +
                  PathOf("in") + "\nto=" + PathOf("out") + "\nentire=Y\n");
    StartWindow();
    messages.answers = {MessageAnswer::Yes, MessageAnswer::Yes};
    bool visible = false;
    QString label;
    // Runs in the conversion's event loop, before the worker's end is handled.
    QMetaObject::invokeMethod(
        &Window(),
        [&] {
            auto* progress = Window().findChild<QProgressDialog*>("folderProgress");
            ASSERT_NE(progress, nullptr);
            Click(progress->findChild<QPushButton*>());
            Click(Button("autoConvertButton")); // not a second run inside the first
            visible = progress->isVisible();
            label = progress->labelText();
        },
        Qt::QueuedConnection);
    Click(Button("autoConvertButton"));

    EXPECT_TRUE(visible);
    EXPECT_EQ(label, "Stopping after the files under way...");
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[1].caption, "Auto Convert");
    EXPECT_NE(messages.shown[1].text.find("\nCancelled: "), std::string::npos);
    EXPECT_EQ(Window().findChild<QProgressDialog*>("folderProgress"), nullptr);
}

} // namespace
} // namespace korvane::testing
