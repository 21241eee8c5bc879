// The audition buttons in the window: what each press sends to the sequencer and how the three
// buttons look afterwards.

#include "WindowTestFixture.h"
#include "support/RecordingSequencer.h"

namespace korvane::testing {
namespace {

class WindowAudition : public WindowTest {
protected:
    void StartWithStyle() {
        WriteFile("Korvane.ini", "[Audit Location]\nfolder=" + PathOf("audition files") + "\n");
        StartWindow();
        Window().SetAuditionSequencer(sequencer);
        OpenThroughButton(WriteStyle("pop.sty", {"SInt", "Main A"}));
        Assign(1, 1);
    }

    // Play, Pause, Stop: enabled or not, and grey exactly when not.
    void ExpectButtons(bool play, bool pause, bool stop) {
        const std::pair<const char*, bool> expected[] = {
            {"playButton", play}, {"pauseButton", pause}, {"stopButton", stop}};
        for (const auto& [name, enabled] : expected) {
            EXPECT_EQ(Button(name)->isEnabled(), enabled) << name;
            EXPECT_EQ(ButtonBackground(Button(name)),
                      enabled ? Rgb(53, 106, 106) : Rgb(128, 128, 128))
                << name;
        }
    }

    CRecordingSequencer sequencer;
};

TEST_F(WindowAudition, PlayPauseAndStopDriveTheSequencerAndTheButtons) {
    StartWithStyle();
    ExpectButtons(true, false, false);

    Click(Button("playButton"));
    const std::string open =
        "open sequencer!" + PathOf("audition files") + "/VCTEMP.MID alias MIDPLAY_MIDI wait";
    EXPECT_EQ(sequencer.commands,
              (std::vector<std::string>{open, "seek MIDPLAY_MIDI to start wait",
                                        "play MIDPLAY_MIDI notify", "stop MIDPLAY_MIDI wait",
                                        "play MIDPLAY_MIDI notify"}));
    EXPECT_TRUE(std::filesystem::is_regular_file(PathOf("audition files") + "/VCTEMP.MID"));
    ExpectButtons(false, true, true);

    Click(Button("pauseButton"));
    ExpectButtons(true, false, true);
    Click(Button("stopButton"));
    ExpectButtons(true, false, false);
    EXPECT_EQ(sequencer.commands.back(), "close MIDPLAY_MIDI");
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(WindowAudition, SpacePlaysAndPausesUnlessASectionHasTheFocus) {
    StartWithStyle();
    Window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Window())); // shortcuts answer the active window
    QTest::keyClick(Button("openButton"), Qt::Key_Space);
    ExpectButtons(false, true, true);
    QTest::keyClick(Button("openButton"), Qt::Key_Space);
    ExpectButtons(true, false, true);
    QTest::keyClick(Source(0), Qt::Key_Space); // selects the section
    ExpectButtons(true, false, true);
    EXPECT_EQ(Window().GetAssignmentTable().GetSelectedSource(), 0);
}

TEST_F(WindowAudition, OpenWhilePlayingClosesTheSequencerAndSwitchesAllOff) {
    StartWithStyle();
    Click(Button("playButton"));
    sequencer.commands.clear();
    OpenThroughButton(WriteStyle("next.sty", {"Main B"}));
    EXPECT_EQ(sequencer.commands,
              (std::vector<std::string>{"stop MIDPLAY_MIDI wait", "close MIDPLAY_MIDI"}));
    ExpectButtons(false, false, false);
    EXPECT_EQ(TextColour(Label("auditionLabel")), Rgb(192, 192, 192));
}

TEST_F(WindowAudition, ASequencerThatCannotOpenSaysWhyInAMidPlayBox) {
    StartWithStyle();
    sequencer.failures["open"] = 5;
    sequencer.reasons[5] = "no soundfont found";
    Click(Button("playButton"));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0],
              (ShownMessage{"Couldn't load music file(no soundfont found)", "MidPlay",
                            MessageIcon::Exclamation, MessageButtons::Ok}));
    ExpectButtons(false, true, true);
}

} // namespace
} // namespace korvane::testing
