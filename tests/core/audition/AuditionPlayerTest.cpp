// The audition player's states and transitions, with the sequencer recording each command.

#include "audition/AuditionPlayer.h"
#include "AuditionTestSupport.h"
#include "assignment/SaveCommand.h"
#include "audition/MidiFile.h"
#include "audition/SectionAudition.h"
#include "style/MidiTrack.h"
#include "support/RecordingSequencer.h"

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <grp.h>
#include <pwd.h>
#include <regex>

namespace korvane::testing {
namespace {

const std::string kOpen = "open sequencer!";
const std::string kSeek = "seek MIDPLAY_MIDI to start wait";
const std::string kPlay = "play MIDPLAY_MIDI notify";
const std::string kStop = "stop MIDPLAY_MIDI wait";
const std::string kCloseWait = "close MIDPLAY_MIDI wait";
const std::string kClose = "close MIDPLAY_MIDI";

class AuditionPlayerTest : public AuditionFixture {
protected:
    void SetUp() override { OpenStyle(3); }

    std::string OpenCommand() const { return kOpen + AuditionFile() + " alias MIDPLAY_MIDI wait"; }

    CRecordingSequencer sequencer;
    CAuditionPlayer player{table, settings, sequencer};
};

TEST_F(AuditionPlayerTest, AFirstPlayWritesTheStyleAndSendsOpenSeekPlayStopPlay) {
    ASSERT_FALSE(std::filesystem::exists(settings.auditionFolder));
    player.Play();
    EXPECT_EQ(sequencer.commands,
              (std::vector<std::string>{OpenCommand(), kSeek, kPlay, kStop, kPlay}));
    // The audition file is exactly what Save writes for the same work.
    const std::string saved = folder.File("saved.sty");
    ASSERT_EQ(WriteWork(table, saved), WriteResult::Ok);
    EXPECT_EQ(ReadBytes(AuditionFile()), ReadBytes(saved));
    EXPECT_EQ(player.GetButtons(), (AuditionButtons{false, true, true}));
    EXPECT_TRUE(player.GetMidPlay().IsOpen());
    EXPECT_TRUE(player.GetMidPlay().IsStarted());
    EXPECT_TRUE(messages.shown.empty());
}

// Each case starts from a first Play and lists the commands sent after it.
struct Transition {
    const char* name;
    std::function<void(CAuditionPlayer&, CAssignmentTable&)> actions;
    std::vector<std::string> commandsAfterPlay;
    AuditionButtons buttons;
    bool open;
    bool started;
};

TEST_F(AuditionPlayerTest, EveryTransitionSendsItsCommandsAndSetsTheButtons) {
    const std::vector<Transition> transitions = {
        {"Playing, Pause: Paused",
         [](auto& p, auto&) { p.Pause(); },
         {kStop},
         {true, false, true},
         true,
         true},
        {"Paused, Play: rewind and play the same file",
         [](auto& p, auto&) {
             p.Pause();
             p.Play();
         },
         {kStop, kSeek, kStop, kPlay},
         {false, true, true},
         true,
         true},
        {"Playing, Stop: Unloaded",
         [](auto& p, auto&) { p.Stop(); },
         {kStop, kClose},
         {true, false, false},
         false,
         false},
        {"Paused, Stop: Unloaded",
         [](auto& p, auto&) {
             p.Pause();
             p.Stop();
         },
         {kStop, kStop, kClose},
         {true, false, false},
         false,
         false},
        {"Playing, Play again: rewind and restart",
         [](auto& p, auto&) { p.Play(); },
         {kSeek, kStop, kPlay},
         {false, true, true},
         true,
         true},
        {"Stop twice: the second sends nothing",
         [](auto& p, auto&) {
             p.Stop();
             p.Stop();
         },
         {kStop, kClose},
         {true, false, false},
         false,
         false},
        {"Clear while Playing: Unloaded, all off",
         [](auto&, auto& t) { t.Clear(); },
         {kStop, kClose},
         {false, false, false},
         false,
         false},
        {"Clear while Paused: Unloaded, all off",
         [](auto& p, auto& t) {
             p.Pause();
             t.Clear();
         },
         {kStop, kStop, kClose},
         {false, false, false},
         false,
         false},
        {"an assignment while Playing switches Play on",
         [](auto&, auto& t) { t.AssignPair(5, 5); },
         {},
         {true, true, true},
         true,
         true},
    };
    for (const Transition& transition : transitions) {
        SCOPED_TRACE(transition.name);
        CAssignmentTable ownTable(messages);
        CRecordingSequencer ownSequencer;
        ownTable.SelectModel(ModelIndex("PSR-9000"));
        ownTable.Clear();
        ASSERT_EQ(OpenStyleFile(ownTable, settings, folder.File("source style.sty")),
                  ReadResult::Ok);
        ownTable.AssignPair(0, 0);
        CAuditionPlayer ownPlayer(ownTable, settings, ownSequencer);
        ownPlayer.Play();
        ownSequencer.commands.clear();
        transition.actions(ownPlayer, ownTable);
        EXPECT_EQ(ownSequencer.commands, transition.commandsAfterPlay);
        EXPECT_EQ(ownPlayer.GetButtons(), transition.buttons);
        EXPECT_EQ(ownPlayer.GetMidPlay().IsOpen(), transition.open);
        EXPECT_EQ(ownPlayer.GetMidPlay().IsStarted(), transition.started);
    }
}

TEST_F(AuditionPlayerTest, StopWhileUnloadedSendsNothingAndOpenSwitchesAllOff) {
    player.Stop();
    EXPECT_TRUE(sequencer.commands.empty());
    EXPECT_EQ(player.GetButtons(), (AuditionButtons{true, false, false}));
    ASSERT_EQ(OpenStyleFile(table, settings, folder.File("source style.sty")), ReadResult::Ok);
    EXPECT_EQ(player.GetButtons(), (AuditionButtons{false, false, false}));
    EXPECT_TRUE(sequencer.commands.empty());
}

TEST_F(AuditionPlayerTest, NewAssignmentsAreHeardAfterStopNotAfterPause) {
    player.Play();
    player.Pause();
    const std::string first = ReadBytes(AuditionFile());
    table.AssignPair(4, 4);
    player.Play(); // Paused: the old file plays again
    EXPECT_EQ(ReadBytes(AuditionFile()), first);

    player.Stop();
    sequencer.commands.clear();
    player.Play(); // Unloaded: written afresh and opened again
    EXPECT_NE(ReadBytes(AuditionFile()), first);
    EXPECT_EQ(sequencer.commands,
              (std::vector<std::string>{OpenCommand(), kSeek, kPlay, kStop, kPlay}));
}

struct Failure {
    const char* name;
    std::string failingCommand;
    int code;
    std::optional<std::string> reason;
    std::vector<std::string> shown; // the MidPlay texts
    bool open;
};

TEST_F(AuditionPlayerTest, OpenSeekAndPlayFailuresAreShownStopFailuresAreNot) {
    const std::vector<Failure> failures = {
        {"open, with a reason",
         "open",
         5,
         "no soundfont found",
         {"Couldn't load music file(no soundfont found)"},
         false},
        {"open, without a reason",
         "open",
         263,
         std::nullopt,
         {"Couldn't load music file(we don't know why!)"},
         false},
        {"seek: play is still tried",
         "seek",
         8,
         "the MIDI output port has gone",
         {"Couldn't rewind music(the MIDI output port has gone)"},
         true},
        {"play: said once", "play", 9, "x", {"Couldn't play music(x)"}, true},
        {"stop fails silently", "stop", 9, "x", {}, true},
    };
    for (const Failure& failure : failures) {
        SCOPED_TRACE(failure.name);
        CRecordingSequencer failing;
        failing.failures[failure.failingCommand] = failure.code;
        if (failure.reason)
            failing.reasons[failure.code] = *failure.reason;
        messages.shown.clear();
        CAuditionPlayer failingPlayer(table, settings, failing);
        failingPlayer.Play();
        std::vector<std::string> shown;
        for (const ShownMessage& message : messages.shown) {
            EXPECT_EQ(message.caption, "MidPlay");
            EXPECT_EQ(message.icon, MessageIcon::Exclamation);
            EXPECT_EQ(message.buttons, MessageButtons::Ok);
            shown.push_back(message.text);
        }
        EXPECT_EQ(shown, failure.shown);
        EXPECT_EQ(failingPlayer.GetMidPlay().IsOpen(), failure.open);
        EXPECT_EQ(failingPlayer.GetButtons(), (AuditionButtons{false, true, true}));
        if (failure.failingCommand == "seek") {
            EXPECT_EQ(failing.commands.at(2), kPlay);
        }
        failingPlayer.Stop();
    }
}

TEST_F(AuditionPlayerTest, AFailedOpenLeavesStartedSoOnlyStopBringsBackAFreshPlay) {
    sequencer.failures["open"] = 4;
    player.Play();
    sequencer.commands.clear();
    player.Play(); // started without a file: rewind and start do nothing
    EXPECT_TRUE(sequencer.commands.empty());
    player.Stop();
    sequencer.failures.clear();
    player.Play();
    EXPECT_EQ(sequencer.commands.front(), OpenCommand());
    EXPECT_TRUE(player.GetMidPlay().IsOpen());
}

// The default folder is used only as the user's own and closed to others; in its place another
// user's folder, one open to all or a link get a private folder in /tmp. A chosen one is kept.
TEST_F(AuditionPlayerTest, ARefusedDefaultFolderGivesWayToAPrivateOneAChosenOneIsKept) {
    namespace fs = std::filesystem;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string saved = runtime ? runtime : "";
    setenv("XDG_RUNTIME_DIR", folder.Path().c_str(), 1);
    const std::string mine = folder.File("mine"), chosen = folder.File("chosen");
    fs::create_directory(mine);
    fs::create_directory(chosen);
    fs::permissions(chosen, fs::perms(0777));
    const std::string fallback = "/tmp/audition-[A-Za-z0-9]{6}/VCTEMP\\.MID";
    struct Case {
        const char* name;
        std::function<void(const std::string&)> make; // makes the default folder
        std::string setting, expected;                // the folder set, the file played
    };
    const std::vector<Case> cases = {
        {"none yet", [](auto&) {}, "", folder.Path() + "/korvane/VCTEMP\\.MID"},
        {"open to all",
         [](auto& d) { fs::create_directory(d), fs::permissions(d, fs::perms(0777)); }, "",
         fallback},
        {"a link", [&](auto& d) { fs::create_directory_symlink(mine, d); },
         folder.Path() + "/korvane", fallback}, // the default as stored
        {"nobody's", [](auto& d) { fs::create_directory(d), (void)chown(d.c_str(), 65534, 65534); },
         "", geteuid() == 0 ? fallback : folder.Path() + "/korvane/VCTEMP\\.MID"},
        {"chosen", [](auto&) {}, chosen, chosen + "/VCTEMP\\.MID"}};
    for (const Case& test : cases) {
        const std::string made = folder.File("korvane");
        fs::remove_all(made);
        test.make(made);
        settings.auditionFolder = test.setting;
        sequencer.commands.clear();
        CAuditionPlayer own{table, settings, sequencer};
        own.Play();
        sequencer.commands.resize(1); // an empty command when nothing was opened
        EXPECT_TRUE(std::regex_match(
            sequencer.commands[0], std::regex(kOpen + test.expected + " alias MIDPLAY_MIDI wait")))
            << test.name << ": " << sequencer.commands[0];
    }
    runtime ? setenv("XDG_RUNTIME_DIR", saved.c_str(), 1) : unsetenv("XDG_RUNTIME_DIR");
}

// The write fails in a folder the user may not write: the writer's message, nothing sent, and
// the buttons as Play left them. Runs as nobody, since root may write anywhere.
TEST_F(AuditionPlayerTest, AFolderThatCannotBeWrittenShowsTheWritersMessage) {
    std::filesystem::create_directory(settings.auditionFolder);
    std::filesystem::permissions(settings.auditionFolder, std::filesystem::perms(0755));
    std::filesystem::permissions(folder.Path(), std::filesystem::perms(0755));
    auto check = [&]() -> bool {
        player.Play();
        return sequencer.commands.empty() && messages.shown.size() == 1 &&
               messages.shown[0] == ShownMessage{"Cannot open file " + AuditionFile() +
                                                     ". (0x0000000D: Permission denied)",
                                                 "Sorry...", MessageIcon::None,
                                                 MessageButtons::Ok} &&
               player.GetButtons() == AuditionButtons{false, true, true} &&
               !player.GetMidPlay().IsOpen();
    };
    if (geteuid() != 0) {
        std::filesystem::permissions(settings.auditionFolder, std::filesystem::perms(0555));
        EXPECT_TRUE(check());
        return;
    }
    const passwd* nobody = getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 ||
            setuid(nobody->pw_uid) != 0)
            _exit(2);
        _exit(check() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "2: could not become nobody; 1: wrong outcome";
}

} // namespace
} // namespace korvane::testing

namespace korvane::testing {
namespace {

// What a MIDI output receives from a section's events: channel and system-exclusive messages
// with their ticks; setupOnly keeps those that are no notes, all at tick 0.
std::vector<std::pair<std::uint64_t, ByteArray>> Sent(const CStyleSection& section,
                                                      bool setupOnly) {
    std::vector<std::pair<std::uint64_t, ByteArray>> sent;
    CTrackWalker walker(*section.GetData());
    TrackEvent event;
    while (walker.Next(event)) {
        const bool note = (event.status & 0xE0) == 0x80;
        if (event.IsMetaEvent() || (setupOnly && note))
            continue;
        ByteArray bytes{event.status};
        bytes.insert(bytes.end(), event.data.begin(), event.data.end());
        sent.emplace_back(setupOnly ? 0 : event.tick, bytes);
    }
    return sent;
}

TEST_F(AuditionPlayerTest, PlayThisSectionPlaysSetupEventsThenTheSectionRepeating) {
    const CStyleSection& section = *table.GetDocument().GetSections()[2];
    player.PlaySection(section);
    const std::string repeat = "play MIDPLAY_MIDI repeat notify";
    EXPECT_EQ(sequencer.commands,
              (std::vector<std::string>{OpenCommand(), kSeek, repeat, kStop, repeat}));
    EXPECT_EQ(player.GetButtons(), (AuditionButtons{false, true, true}));

    // The file sends the header's and SInt's setup events at its start, then the section's events,
    // nothing more.
    const ByteArray file = ReadByteArray(AuditionFile());
    std::string problem;
    const auto sequence = ParseMidiFile(file, problem);
    ASSERT_TRUE(sequence) << problem;
    // The header's system-exclusive run goes first, as in every style written.
    CStyleSection header;
    header.CreateData();
    header.AppendByte(0x00);
    for (std::uint8_t byte : *table.GetDocument().GetSourceProperties()->GetSysex())
        header.AppendByte(byte);
    auto expected = Sent(header, true);
    const auto setup = Sent(*table.GetDocument().FindSection("SInt"), true);
    expected.insert(expected.end(), setup.begin(), setup.end());
    const auto events = Sent(section, false);
    ASSERT_FALSE(events.empty());
    expected.insert(expected.end(), events.begin(), events.end());
    ASSERT_EQ(sequence->events.size(), expected.size());
    // The setup events sound together, where the section starts.
    const std::size_t first = expected.size() - events.size() - setup.size();
    const double start = sequence->events[first].seconds;
    const double secondsPerTick =
        (sequence->events.back().seconds - start) / double(events.back().first);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(sequence->events[i].bytes, expected[i].second) << i;
        if (i >= first) {
            EXPECT_NEAR(sequence->events[i].seconds,
                        start + double(expected[i].first) * secondsPerTick, 1e-6);
        }
    }

    // Another section switches at once; the whole style's Play after Stop no longer repeats.
    player.PlaySection(*table.GetDocument().GetSections()[1]);
    player.Stop();
    sequencer.commands.clear();
    player.Play();
    EXPECT_EQ(sequencer.commands,
              (std::vector<std::string>{OpenCommand(), kSeek, kPlay, kStop, kPlay}));
}

// A player plays a file once unless it is set to repeat (korvane-cli's port playback ends).
TEST(MidPlayTest, AFreshPlayerDoesNotRepeat) {
    CRecordingSequencer sequencer;
    CScriptedMessageBox messages;
    EXPECT_FALSE(CMidPlay(sequencer, messages).IsRepeating());
}

// SInt's set-up for a section played alone: every event but notes and meta events, each with
// its own status and a delta-time of 0, also those after the first note.
TEST(SectionAudition, TheSetUpIsEveryEventButNotesAndMetaEvents) {
    CStyleSection sint;
    sint.CreateData();
    const ByteArray bytes = {0x00, 0xCA, 0x05, 0x10, 0x9A, 0x24, 0x64, 0x00, 0xFF, 0x01,
                             0x01, 0x41, 0x00, 0xBA, 0x07, 0x50, 0x20, 0x0A, 0x40, 0x00};
    sint.AppendBytes(bytes.data(), bytes.size());
    EXPECT_EQ(SetupEvents(sint),
              (ByteArray{0x00, 0xCA, 0x05, 0x00, 0xBA, 0x07, 0x50, 0x00, 0xBA, 0x0A, 0x40}));
}

} // namespace
} // namespace korvane::testing
