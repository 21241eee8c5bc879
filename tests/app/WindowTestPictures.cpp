// A section's picture in the tooltips of its labels.

#include "WindowTestFixture.h"
#include "app/pictures/SectionLabels.h"
#include "style/SectionPicture.h"
#include "support/StyleGenerator.h"

#include <QHelpEvent>
#include <QRegularExpression>
#include <QToolTip>

namespace korvane::testing {
namespace {

using WindowPictures = WindowTest;

TEST_F(WindowPictures, ASectionsTooltipHoldsItsPianoRollWithALanePerPlayingPart) {
    StartWindow();
    StyleGeneratorOptions options;
    options.sectionNames = {"SInt", "Main A", "Fill In AA"};
    ASSERT_TRUE(WriteGeneratedStyle(GenerateStyle(options), PathOf("pop.sty")));
    OpenThroughButton(PathOf("pop.sty"));
    Assign(1, 3);
    const CStyleSection& mainA = *Window().GetAssignmentTable().GetDocument().GetSections()[1];
    const SectionPicture picture = SummariseSection(*mainA.GetData(), {});
    ASSERT_GT(picture.PlayingPartCount(), 0);
    // Each lane names its part and the voice it plays ("Bass: Fretless Bass").
    const PartVoiceNames voices = SectionVoiceNames(mainA);
    QStringList lanes;
    for (int part = 0; part < kPartCount; ++part)
        if (picture.Plays(part))
            lanes << QString(kPartNames[std::size_t(part)]) + ": " +
                         QString::fromStdString(voices[std::size_t(part)]);

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
        EXPECT_EQ(match.captured(2), lanes.join(", "));
        const QImage image =
            QImage::fromData(QByteArray::fromBase64(match.captured(1).toLatin1()), "PNG");
        EXPECT_EQ(image.height(), PictureHeight(int(lanes.size())));
    }
    // A free slot shows no picture.
    EXPECT_TRUE(Window().GetSectionLabels()->PictureTip(Destination(4)).isEmpty());
}

} // namespace
} // namespace korvane::testing
