#include "WindowTestFixture.h"

#include "app/platform/QtFileDialogs.h"

#include <QSignalSpy>

namespace korvane::testing {
namespace {

// --- ending the window ------------------------------------------------------------------------

using WindowEnding = WindowTest;

TEST_F(WindowEnding, TheExitButtonEndsWithOk) {
    StartWindow();
    Click(Button("exitButton"));
    EXPECT_FALSE(Window().isVisible());
    EXPECT_EQ(Window().result(), QDialog::Accepted);
}

TEST_F(WindowEnding, FileExitEndsWithOk) {
    StartWindow();
    Action("exitAction")->trigger();
    EXPECT_FALSE(Window().isVisible());
    EXPECT_EQ(Window().result(), QDialog::Accepted);
}

TEST_F(WindowEnding, EnterEndsWithOkWhereverTheFocusIs) {
    StartWindow();
    QTest::keyClick(Button("openButton"), Qt::Key_Return);
    EXPECT_FALSE(Window().isVisible());
    EXPECT_EQ(Window().result(), QDialog::Accepted);
    EXPECT_TRUE(dialogs.opened.empty()); // Enter does not press the focused Open button
}

TEST_F(WindowEnding, EnterInTheModelSelectorEndsWithOk) {
    StartWindow();
    QTest::keyClick(ModelSelector(), Qt::Key_Enter);
    EXPECT_FALSE(Window().isVisible());
    EXPECT_EQ(Window().result(), QDialog::Accepted);
}

TEST_F(WindowEnding, EscapeEndsWithCancel) {
    StartWindow();
    Window().setResult(QDialog::Accepted);
    QTest::keyClick(Button("openButton"), Qt::Key_Escape);
    EXPECT_FALSE(Window().isVisible());
    EXPECT_EQ(Window().result(), QDialog::Rejected);
}

TEST_F(WindowEnding, TheCloseBoxEndsWithCancel) {
    StartWindow();
    Window().setResult(QDialog::Accepted);
    EXPECT_TRUE(Window().close());
    EXPECT_FALSE(Window().isVisible());
    EXPECT_EQ(Window().result(), QDialog::Rejected);
}

TEST_F(WindowEnding, UnsavedWorkIsDiscardedOnlyAfterYes) {
    StartWindow();
    OpenThroughButton(WriteStyle("pop.sty", {"SInt", "Main A"}));
    Assign(1, 1);
    messages.answers = {MessageAnswer::No, MessageAnswer::No, MessageAnswer::Yes};
    QTest::keyClick(Button("openButton"), Qt::Key_Escape);
    EXPECT_TRUE(Window().close() == false && Window().isVisible());
    Click(Button("exitButton"));
    EXPECT_FALSE(Window().isVisible());
    EXPECT_EQ(messages.shown.size(), 3u);
    EXPECT_EQ(messages.shown[2].text, "Discard the assignments made so far?");
}

// --- dialog commands ---------------------------------------------------------------------------

using WindowLaterCommands = WindowTest;

// Each dialog command runs its dialog once, from its menu item and from its button.
TEST_F(WindowLaterCommands, EachDialogCommandRunsItsDialog) {
    StartWindow();
    OpenThroughButton(WriteStyle("pop.sty", {"SInt", "Main A"}));
    Assign(1, 1);
    const std::pair<const char*, const char*> commands[] = {
        {"voicesAction", "Reconfigure Voice Settings"},
        {"voicesButton", "Reconfigure Voice Settings"},
        {"propertiesAction", "Properties Dialog"},
        {"propertiesButton", "Properties Dialog"},
        {"preferencesAction", "Preferences"},
        {"preferencesButton", "Preferences"},
        {"conversionsAction", "Configure Conversion "},
        {"aboutAction", "About Korvane"},
        {"systemAboutAction", "About Korvane"}};
    for (const auto& [name, title] : commands) {
        SCOPED_TRACE(name);
        shownDialogs.clear();
        if (QString(name).endsWith("Action"))
            Action(name)->trigger();
        else
            Click(Button(name));
        EXPECT_EQ(shownDialogs, std::vector<std::string>{title});
    }
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(WindowLaterCommands, ASwitchedOffButtonDoesNotRespond) {
    StartWindow();
    Click(Button("propertiesButton"));
    Click(Button("saveButton"));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(dialogs.opened.empty());
}

TEST_F(WindowLaterCommands, ConvertDoesNothing) {
    StartWindow();
    OpenThroughButton(WriteStyle("pop.sty", {"SInt", "Main A"}));
    Assign(1, 1);
    Action("convertAction")->trigger();
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(dialogs.opened.size(), 1u);
    EXPECT_EQ(Assignment(1)->GetCaption(), "pop.sty Main A");
    EXPECT_TRUE(Window().isVisible());
}

// --- the controls themselves ------------------------------------------------------------------

TEST(LabelControl, ACaptionReadsBackAsTheBytesLastSet) {
    CLabelControl label;
    for (const std::string& caption : {std::string("Fill In AA"), std::string(""),
                                       std::string("Caf\xE9"), std::string("<b>Main</b> & A")}) {
        label.SetCaption(caption);
        EXPECT_EQ(label.GetCaption(), caption);
    }
    label.SetCaption("<b>Main</b> & A");
    EXPECT_EQ(label.text(), QString("<b>Main</b> & A")); // drawn as written, never as markup
    EXPECT_EQ(label.textFormat(), Qt::PlainText);
}

TEST(LabelControl, ColoursPassAsControlValuesWithRedLowest) {
    CLabelControl label;
    label.SetTextColour(0x00B000);
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(0, 176, 0));
    label.SetBackColour(0x808040);
    EXPECT_EQ(label.palette().color(QPalette::Window), QColor(64, 128, 128));
    EXPECT_EQ(label.GetBackColour(), 0x808040u);
}

TEST(LabelControl, AClickIsAPressAndAReleaseOverTheLabel) {
    CLabelControl label;
    label.resize(60, 16);
    label.show();
    QSignalSpy clicks(&label, &CLabelControl::clicked);
    QTest::mouseClick(&label, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);
    // Released outside: no click.
    QTest::mousePress(&label, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(&label, Qt::LeftButton, {}, QPoint(200, 5));
    EXPECT_EQ(clicks.count(), 1);
    QTest::mouseClick(&label, Qt::RightButton);
    EXPECT_EQ(clicks.count(), 1);
}

TEST(CommandButton, TheButtonStateSwitchesEnabledAndTextColour) {
    CCommandButton button(QStringLiteral("Save"));
    button.SetButtonState(false);
    EXPECT_FALSE(button.isEnabled());
    EXPECT_EQ(button.palette().color(QPalette::Disabled, QPalette::ButtonText), QColor(0, 128, 0));
    button.SetButtonState(true);
    EXPECT_TRUE(button.isEnabled());
    EXPECT_EQ(button.palette().color(QPalette::Active, QPalette::ButtonText),
              QColor(255, 255, 128));
    EXPECT_EQ(button.GetTextColour(), 0x80FFFFu);
}

TEST(CommandButton, PictureButtonsShowADrawnSymbolAndNoCaption) {
    for (auto picture : {CCommandButton::Picture::Play, CCommandButton::Picture::Pause,
                         CCommandButton::Picture::Stop}) {
        CCommandButton button(picture);
        EXPECT_TRUE(button.text().isEmpty());
        EXPECT_FALSE(button.icon().isNull());
    }
}

TEST(QtFileDialogs, TheStyleFiltersBecomeQtNameFilters) {
    EXPECT_EQ(CQtFileDialogs::QtNameFilters(StyleFileFilters()),
              QStringList({"Style Files (*.sty;*.mid) (*.sty *.mid)", "All Files (*.*) (*)"}));
}

} // namespace
} // namespace korvane::testing
