// The keyboard, dragging and the status bar, each wired to the table once; the dialogs' small
// rules (default answers, file types, help pages, screen size).

#include "WindowTestFixture.h"

#include "app/dialogs/ScreenFit.h"
#include "app/platform/QtFileDialogs.h"
#include "app/platform/QtMessageBox.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QStatusBar>

namespace korvane::testing {
namespace {

using WindowKeyboard = WindowTest;

// Down and Space pick a section, Tab goes over to its slot, Enter assigns; Ctrl+Z and Ctrl+Y.
TEST_F(WindowKeyboard, ASectionIsAssignedUndoneAndRedoneWithKeysAlone) {
    StartWindow();
    OpenThroughButton(WriteStyle("pop.sty", {"SInt", "Main A", "Fill In AA"}));
    Window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Window())); // shortcuts answer the active window
    Source(0)->setFocus();
    auto key = [](int code, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(code), modifiers);
    };
    for (int code : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Up, Qt::Key_Down, Qt::Key_Space})
        key(code);
    EXPECT_EQ(Window().GetAssignmentTable().GetSelectedSource(), 2);
    key(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), Destination(2));
    key(Qt::Key_Return);
    EXPECT_EQ(Assignment(2)->GetCaption(), "pop.sty Fill In AA");
    EXPECT_TRUE(Window().isVisible()); // Enter on a slot is its click, not the window's OK
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Assignment(2)->GetCaption(), "");
    key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(Assignment(2)->GetCaption(), "pop.sty Fill In AA");
}

TEST_F(WindowKeyboard, ASectionDraggedOntoSlotsIsAssignedToEach) {
    StartWindow();
    OpenThroughButton(WriteStyle("pop.sty", {"SInt", "Main A"}));
    for (auto [row, slot] : {std::pair{"0", 0}, std::pair{"1", 1}, std::pair{"1", 5}}) {
        QMimeData data;
        data.setData("application/x-korvane-section", row);
        // As a drag does: the slot accepts it as it enters, then takes the drop.
        QDragEnterEvent enter(QPoint(4, 4), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Destination(slot), &enter);
        QDropEvent drop(QPointF(4, 4), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Destination(slot), &drop);
    }
    EXPECT_EQ(Assignment(0)->GetCaption(), "pop.sty SInt");
    EXPECT_EQ(Assignment(1)->GetCaption(), "pop.sty Main A");
    EXPECT_EQ(Assignment(5)->GetCaption(), "pop.sty Main A");
}

// A press and a move of the drag distance on a drag source start a drag; the release after it is
// no click. A label that is no drag source takes the same moves as a click.
TEST(LabelDrag, AMoveOfTheDragDistanceStartsADragInsteadOfAClick) {
    for (bool source : {true, false}) {
        SCOPED_TRACE(source);
        CLabelControl label;
        label.resize(80, 16);
        if (source)
            label.SetDragSource();
        QSignalSpy drags(&label, &CLabelControl::dragStarted);
        QSignalSpy clicks(&label, &CLabelControl::clicked);
        auto send = [&label](QEvent::Type type, int x) {
            QMouseEvent event(type, QPointF(x, 4), label.mapToGlobal(QPointF(x, 4)), Qt::LeftButton,
                              Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&label, &event);
        };
        send(QEvent::MouseButtonPress, 2);
        send(QEvent::MouseMove, 2 + QApplication::startDragDistance());
        send(QEvent::MouseButtonRelease, 2 + QApplication::startDragDistance());
        EXPECT_EQ(drags.count(), source ? 1 : 0);
        EXPECT_EQ(clicks.count(), source ? 0 : 1);
    }
}

TEST_F(WindowKeyboard, TheStatusBarSaysWhereSaveWrote) {
    StartWindow();
    OpenThroughButton(WriteStyle("pop.sty", {"SInt", "Main A"}));
    Assign(1, 1);
    dialogs.choices.push_back(PathOf("out.sty"));
    Click(Button("saveButton"));
    EXPECT_EQ(Find<QStatusBar>("statusBar")->currentMessage().toStdString(),
              "Saved " + PathOf("out.sty") + " (1 section for PSR-9000)");
}

// The status line is drawn in its own (the menu bar's) colour, not in the window's green.
TEST_F(WindowKeyboard, TheStatusLineIsDrawnInItsOwnColour) {
    StartWindow();
    const auto* bar = Find<QStatusBar>("statusBar");
    const QImage window = Window().grab().toImage();
    const QPoint end = bar->mapTo(&Window(), QPoint(bar->width() - 3, bar->height() / 2));
    EXPECT_EQ(window.pixelColor(end), bar->palette().color(QPalette::Window));
    EXPECT_NE(window.pixelColor(end), Window().palette().color(QPalette::Window));
}

TEST_F(WindowKeyboard, TheFileDialogsNameAStyleAStyleFile) {
    WriteStyle("pop.sty", {"SInt"});
    EXPECT_EQ(CStyleFileTypes().type(QFileInfo(QString::fromStdString(PathOf("pop.sty")))),
              QString("Style File"));
}

TEST(HelpPages, F1InAMessageBoxOrFileDialogOpensThePageOfWhatItBelongsTo) {
    QDialog properties;
    properties.setObjectName("propertiesDialog");
    QMessageBox refusal(QMessageBox::Warning, "Sorry...", "", QMessageBox::Ok, &properties);
    QFileDialog save;
    save.setAcceptMode(QFileDialog::AcceptSave);
    EXPECT_EQ(CMainDlg::HelpPageOf(&refusal), QString("properties.html"));
    EXPECT_EQ(CMainDlg::HelpPageOf(&save), QString("assigning.html"));
}

TEST(QtMessageBox, QuestionsDefaultToNo) {
    const auto box = CQtMessageBox::MakeBox(nullptr, "Discard?", "Alert...", MessageIcon::Question,
                                            MessageButtons::YesNo);
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
}

TEST(ScreenFit, AWindowIsCappedToTheFreeAreaOfItsScreen) {
    EXPECT_EQ(SizeOnScreen(QSize(1944, 900), QRect(0, 0, 1280, 990)), QSize(1280, 900));
    EXPECT_EQ(SizeOnScreen(QSize(900, 1200), QRect(0, 30, 1280, 990)), QSize(900, 990));
}

} // namespace
} // namespace korvane::testing
