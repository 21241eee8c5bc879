// Opening an SFF2 style in the window: its sections fill the source column as any style's do,
// and the file-name label's tooltip tells what the conversion to SFF1 left out.

#include "WindowTestFixture.h"

#include "support/StyleBytes.h"

namespace korvane::testing {
namespace {

// SInt and Main A under an "SFF2" marker; Chord1 is a 47-byte Ctb2 with a guitar rule.
ByteArray Sff2Style() {
    const ByteArray zone = B({0x02, 0x02, 0x05, 0x10, 0x70, 0x01});
    const ByteArray ctb2 =
        Cat({B({0x0B}), T("Chord1  "),
             B({0x0B, 0x00, 0x0F, 0xFF, 0x1F, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x01, 0x00, 0x7F}),
             zone, zone, zone, B({0, 0, 0, 0, 0, 0, 0})});
    const ByteArray track =
        Cat({B({0x00}), Marker("SFF2"), B({0x00}), Marker("SInt"),
             B({0x00, 0x90, 0x3C, 0x64, 0x60, 0x80, 0x3C, 0x00, 0x00}), Marker("Main A"),
             B({0x00, 0x90, 0x40, 0x64, 0x60, 0x80, 0x40, 0x00, 0x00, 0xFF, 0x2F, 0x00})});
    return Style(track, Cseg("SInt,Main A", Chunk("Ctb2", ctb2)));
}

using WindowSff2 = WindowTest;

TEST_F(WindowSff2, TheFileNameTooltipTellsWhatTheConversionLeftOut) {
    StartWindow();
    WriteFile("new.sty", Sff2Style());
    OpenThroughButton(PathOf("new.sty"));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(Source(0)->GetCaption(), "SInt");
    EXPECT_EQ(Source(1)->GetCaption(), "Main A");
    EXPECT_EQ(Label("fileNameLabel")->GetCaption(), "new.sty");
    EXPECT_EQ(Label("fileNameLabel")->toolTip(),
              QString("SFF2 style, converted to SFF1\nChannel 12 \"Chord1\":\n"
                      "  guitar table made root fixed/chord: SInt,Main A"));

    // A style read as it stands has nothing to tell.
    OpenThroughButton(WriteStyle("old.sty", {"SInt", "Main B"}));
    EXPECT_EQ(Label("fileNameLabel")->GetCaption(), "old.sty");
    EXPECT_EQ(Label("fileNameLabel")->toolTip(), QString());
}

} // namespace
} // namespace korvane::testing
