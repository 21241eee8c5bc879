// What the user sees: long captions cut in the middle, names decoded by one rule, button faces and
// symbols drawn in the window's colours.

#include "WindowTestFixture.h"

#include "app/platform/QtFileDialogs.h"

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>

namespace korvane::testing {
namespace {

constexpr QChar kEllipsis(0x2026);

using WindowLook = WindowTest;

TEST_F(WindowLook, ALongFileNameIsCutInTheMiddleSoTheSectionNameStaysReadable) {
    StartWindow();
    const std::string file = "S&Garfunkel - Bridge over troubled water, live in the park choir.sty";
    OpenThroughButton(WriteStyle(file, {"SInt", "Main A", "Main B"}));
    Assign(2, 5);

    CLabelControl* assignment = Assignment(5);
    const std::string caption = file + " Main B";
    EXPECT_EQ(assignment->GetCaption(), caption); // the bytes set, not the text drawn
    const QString shown = assignment->text();
    EXPECT_TRUE(shown.startsWith("S&G")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(".sty Main B")) << shown.toStdString();
    EXPECT_EQ(shown.count(kEllipsis), 1) << shown.toStdString();
    EXPECT_LE(assignment->fontMetrics().horizontalAdvance(shown),
              assignment->contentsRect().width());
    EXPECT_EQ(assignment->toolTip(), QString::fromStdString(caption));

    CLabelControl* fileName = Label("fileNameLabel");
    EXPECT_EQ(fileName->GetCaption(), file);
    EXPECT_TRUE(fileName->text().contains(kEllipsis)) << fileName->text().toStdString();
    EXPECT_TRUE(fileName->text().endsWith("choir.sty")) << fileName->text().toStdString();
    EXPECT_EQ(fileName->toolTip(), QString::fromStdString(file));

    // A caption that fits is drawn whole and has no tooltip; an emptied one loses it too.
    EXPECT_EQ(Source(2)->text(), QString("Main B"));
    EXPECT_TRUE(Source(2)->toolTip().isEmpty());
    Click(Button("clearButton"));
    EXPECT_TRUE(assignment->text().isEmpty());
    EXPECT_TRUE(assignment->toolTip().isEmpty());
}

TEST_F(WindowLook, NamesAreDecodedAsUtf8WhenValidAndAsLatin1Otherwise) {
    StartWindow();
    // "Café" written by a UTF-8 system and by a Windows (cp1252) one; a lone C3 is not UTF-8.
    OpenThroughButton(WriteStyle("names.sty", {"Caf\xC3\xA9", "Caf\xE9", "Fill \xC3"}));
    const std::vector<std::pair<std::string, QString>> expected = {
        {"Caf\xC3\xA9", QString::fromUtf8("Caf\xC3\xA9")},
        {"Caf\xE9", QString::fromUtf8("Caf\xC3\xA9")},
        {"Fill \xC3", QString::fromUtf8("Fill \xC3\x83")},
    };
    for (int row = 0; row < int(expected.size()); ++row) {
        EXPECT_EQ(Source(row)->GetCaption(), expected[row].first) << row;
        EXPECT_EQ(Source(row)->text(), expected[row].second) << row;
    }
    // The assignment reads the name back from the label: the cp1252 bytes stay cp1252 bytes.
    Assign(1, 1);
    EXPECT_EQ(Assignment(1)->GetCaption(), "names.sty Caf\xE9");
}

// The file a file manager hands over (korvane FILE) opens as if chosen in the Open dialog.
TEST_F(WindowLook, AFileGivenToTheProgramOpensWithoutADialog) {
    StartWindow();
    Window().OpenFile(WriteStyle("given.sty", {"SInt", "Main A"}));
    EXPECT_TRUE(dialogs.opened.empty());
    EXPECT_EQ(Source(1)->GetCaption(), "Main A");
    EXPECT_EQ(Label("fileNameLabel")->GetCaption(), "given.sty");
    // A damaged one is refused with the reader's message, as through the dialog.
    WriteFile("broken.sty", std::string("MThd"));
    Window().OpenFile(PathOf("broken.sty"));
    EXPECT_EQ(messages.shown.size(), 1u);
}

// --- buttons -------------------------------------------------------------------------------

const QColor kFace(53, 106, 106);
const QColor kInk(255, 255, 128);

QImage Drawn(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

TEST(CommandButtonLook, TheFaceIsFlatInTheBackColourWithTheCaptionInTheTextColour) {
    CCommandButton button(QStringLiteral("Save"));
    button.SetBackColour(0x6A6A35);
    button.SetTextColour(0x80FFFF);
    button.resize(80, 24);
    const QImage image = Drawn(button);
    // Inside the edge, the top and bottom rows at both ends are the face colour: no gradient.
    for (const QPoint point : {QPoint(3, 2), QPoint(76, 2), QPoint(3, 21), QPoint(76, 21),
                               QPoint(40, 2), QPoint(40, 21)}) {
        EXPECT_EQ(image.pixelColor(point), kFace) << point.x() << "," << point.y();
    }
    // The caption's pixels, smoothed at their edges: well towards the text colour from the face.
    int inked = 0;
    for (int y = 2; y < image.height() - 2; ++y)
        for (int x = 2; x < image.width() - 2; ++x)
            inked += image.pixelColor(x, y).red() > 180;
    EXPECT_GT(inked, 20);

    // Switched off, the caption turns dark green on the same face.
    button.SetButtonState(false);
    const QImage off = Drawn(button);
    EXPECT_EQ(off.pixelColor(3, 2), kFace);
    int green = 0;
    for (int y = 0; y < off.height(); ++y)
        for (int x = 0; x < off.width(); ++x)
            green += off.pixelColor(x, y).red() < 25;
    EXPECT_GT(green, 20);
}

TEST(CommandButtonLook, TheFocusMarkIsDrawnInTheTextColour) {
    CCommandButton button(QStringLiteral("Open"));
    button.SetBackColour(0x6A6A35);
    button.SetTextColour(0x80FFFF);
    button.resize(80, 24);
    button.show();
    QApplication::setActiveWindow(&button);
    button.setFocus();
    ASSERT_TRUE(button.hasFocus());
    const QImage focused = Drawn(button);
    // The dotted frame runs three pixels inside the edge; along its top row some pixels are ink.
    int marked = 0;
    for (int x = 3; x < 77; ++x)
        marked += focused.pixelColor(x, 3) == kInk;
    EXPECT_GT(marked, 10);
    button.clearFocus();
    const QImage plain = Drawn(button);
    for (int x = 3; x < 77; ++x)
        EXPECT_EQ(plain.pixelColor(x, 3), kFace) << x;
}

// Each symbol sampled at points of its 12-pixel square: true where the symbol's ink must be.
struct SymbolSample {
    CCommandButton::Picture picture;
    std::vector<std::pair<QPoint, bool>> points;
};

TEST(CommandButtonLook, PictureButtonsDrawTheirSymbolInTheTextColourOnTheFace) {
    const std::vector<SymbolSample> samples = {
        {CCommandButton::Picture::Play,
         {{{4, 6}, true}, {{8, 6}, true}, {{4, 4}, true}, {{10, 2}, false}, {{10, 10}, false}}},
        {CCommandButton::Picture::Pause,
         {{{3, 6}, true}, {{8, 6}, true}, {{6, 6}, false}, {{3, 11}, false}}},
        {CCommandButton::Picture::Stop,
         {{{6, 6}, true}, {{3, 3}, true}, {{8, 8}, true}, {{0, 0}, false}, {{11, 11}, false}}},
    };
    for (const SymbolSample& sample : samples) {
        CCommandButton button(sample.picture);
        button.SetBackColour(0x6A6A35);
        button.SetTextColour(0x80FFFF);
        button.resize(36, 28);
        const QImage image = Drawn(button);
        EXPECT_EQ(image.pixelColor(4, 4), kFace);
        const QPoint corner((36 - 12) / 2, (28 - 12) / 2);
        for (const auto& [point, inked] : sample.points) {
            EXPECT_EQ(image.pixelColor(corner + point), inked ? kInk : kFace)
                << int(sample.picture) << " at " << point.x() << "," << point.y();
        }
        // Switched off, the symbol is drawn in the off colour.
        button.SetButtonState(false);
        EXPECT_EQ(Drawn(button).pixelColor(corner + sample.points[0].first), QColor(0, 128, 0));
    }
}

// --- the save dialog ---------------------------------------------------------------------------

TEST(SaveFileDialog, ANameInAFolderThatDoesNotExistIsRefusedAndTheDialogStaysOpen) {
    CTemporaryFolder folder;
    CSaveFileDialog dialog(nullptr, QString::fromStdString(folder.Path()));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.open();
    auto* name = dialog.findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);

    name->setText("missing/out.sty"); // as typed into the name box
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible());
    auto* refusal = dialog.findChild<QMessageBox*>();
    ASSERT_NE(refusal, nullptr);
    EXPECT_EQ(refusal->windowTitle(), QString("Sorry..."));
    EXPECT_EQ(refusal->text(), QString::fromStdString("The folder " + folder.File("missing") +
                                                      " does not exist.\nChoose an existing "
                                                      "folder."));
    refusal->close();

    name->setText("out.sty");
    dialog.accept();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.selectedFiles(), QStringList{QString::fromStdString(folder.File("out.sty"))});
}

} // namespace
} // namespace korvane::testing
