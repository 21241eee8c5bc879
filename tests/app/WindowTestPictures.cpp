// A section's picture in the tooltips of its labels.

#include "WindowTestFixture.h"
#include "app/pictures/SectionLabels.h"
#include "app/pictures/SectionPictureImage.h"
#include "support/StyleBytes.h"

#include <QHelpEvent>
#include <QRegularExpression>
#include <QToolTip>

namespace korvane::testing {
namespace {

using WindowPictures = WindowTest;

TEST_F(WindowPictures, ASectionsTooltipHoldsItsPianoRollWithALanePerPlayingPart) {
    StartWindow();
    // Main A plays Rhythm Sub on the Standard Kit (bank 127) and Bass on Fretless Bass.
    const ByteArray track =
        Cat({B({0x00}), Marker("SFF1"), B({0x00}), Marker("SInt"),
             B({0x00, 0x90, 0x3C, 0x64, 0x00}), Marker("Main A"),
             B({0x00, 0xB8, 0x00, 0x7F, 0x00, 0xC8, 0x00, 0x00, 0xBA, 0x00, 0x00, 0x00,
                0xBA, 0x20, 0x00, 0x00, 0xCA, 0x23, 0x00, 0x98, 0x24, 0x64, 0x00, 0x9A,
                0x28, 0x64, 0x60, 0x88, 0x24, 0x00, 0x00, 0x8A, 0x28, 0x00, 0x00}),
             Marker("Fill In AA"), B({0x00, 0xFF, 0x2F, 0x00})});
    WriteBytes(PathOf("pop.sty"),
               Style(track, Cseg("SInt,Main A,Fill In AA", Chunk("Ctab", B({1, 2, 3})))));
    OpenThroughButton(PathOf("pop.sty"));
    Assign(1, 3);
    const QString lanes = QStringLiteral("Rhythm Sub: Standard Kit, Bass: Fretless Bass");

    for (QLabel* label : {static_cast<QLabel*>(Source(1)), static_cast<QLabel*>(Destination(3)),
                          static_cast<QLabel*>(Assignment(3))}) {
        SCOPED_TRACE(label->objectName().toStdString());
        QToolTip::hideText();
        QHelpEvent hover(QEvent::ToolTip, QPoint(4, 4), label->mapToGlobal(QPoint(4, 4)));
        QApplication::sendEvent(label, &hover);
        const QString tip = QToolTip::text();
        const auto match =
            QRegularExpression("data:image/png;base64,([^\"]+)\" alt=\"([^\"]*)\"").match(tip);
        ASSERT_TRUE(match.hasMatch()) << tip.left(200).toStdString();
        EXPECT_TRUE(tip.contains(QStringLiteral("<b>Main A</b>")));
        EXPECT_EQ(match.captured(2), lanes);
        const QImage image =
            QImage::fromData(QByteArray::fromBase64(match.captured(1).toLatin1()), "PNG");
        EXPECT_EQ(image.height(), PictureHeight(2));
    }
    // A free slot shows no picture.
    EXPECT_TRUE(Window().GetSectionLabels()->PictureTip(Destination(4)).isEmpty());
}

// The tooltip's heading names the channels whose notes no Ctab record routes, under the length.
TEST(SectionPictureHtmlTest, TheHeadingNamesTheChannelsNoRecordRoutes) {
    SectionPicture picture;
    picture.timing = {480, 4, 4};
    picture.unroutedNotes[3] = 2;
    EXPECT_TRUE(SectionPictureHtml(QStringLiteral("Main A"), picture, QImage())
                    .contains(QStringLiteral("<b>Main A</b> &nbsp; 0 bars, 4/4<br>Channel 4, not "
                                             "routed: 2 notes</div>")));
}

// One bar of Bass with two keys an octave apart, held the whole bar: the names' column is 96
// pixels (a short name), its grey edge at x 95, the notes' 284 pixels after it; the higher key
// on the lane's top row (y 2), the lower on its bottom row (y 15), nothing between.
TEST(SectionPictureImageTest, NotesFillTheirKeysRowsRightOfTheNamesColumn) {
    SectionPicture picture;
    picture.timing = {480, 4, 4};
    picture.lengthPulses = 1920;
    picture.bars = 1;
    picture.parts[2] = {{0, 1920, 60, 100}, {0, 1920, 72, 100}};
    const QImage image = DrawSectionPicture(picture);
    ASSERT_EQ(image.size(), QSize(380, 19));
    const QRgb bass = qRgb(90, 170, 240);
    const QRgb background = qRgb(24, 24, 24);
    EXPECT_EQ(image.pixel(95, 10), qRgb(70, 70, 70));
    for (const int x : {96, 200, 379}) {
        SCOPED_TRACE(x);
        EXPECT_EQ(image.pixel(x, 2), bass);
        EXPECT_EQ(image.pixel(x, 15), bass);
        for (const int y : {1, 3, 8, 14, 16})
            EXPECT_EQ(image.pixel(x, y), background) << y;
    }
    // The lane's name is written in the part's blue, not in the grey of the lines.
    int bluish = 0;
    for (int x = 0; x < 95; ++x)
        for (int y = 1; y < 18; ++y)
            bluish += qBlue(image.pixel(x, y)) > qRed(image.pixel(x, y)) + 40;
    EXPECT_GT(bluish, 0);
    // A voice name too long for any column widens the names' column to 220 pixels, no more.
    EXPECT_EQ(DrawSectionPicture(picture, [](int) { return std::string(100, 'W'); }).width(),
              220 + 284);
}

} // namespace
} // namespace korvane::testing
