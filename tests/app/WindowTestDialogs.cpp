// The settings dialogs, About and help, driven through the window's buttons and menu; each dialog
// is answered by a script that edits its boxes and ends it with OK or Cancel.
#include "WindowTestFixture.h"

#include "app/controls/MdcText.h"
#include "app/dialogs/HelpWindow.h"
#include "app/dialogs/VoicesDlg.h"
#include "app/platform/QtMessageBox.h"
#include "settings/Preferences.h"
#include "style/PropertiesForm.h"
#include "style/StyleProperties.h"
#include "style/StyleVoices.h"
#include "support/StyleBytes.h"

#include <QCompleter>
#include <QDialog>
#include <QHelpEngineCore>
#include <QHelpLink>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QSlider>
#include <QTest>
#include <QTreeView>

#include <filesystem>
#include <functional>
#include <utility>

namespace korvane::testing {
namespace {

class DialogTest : public WindowTest {
protected:
    // The next dialogs are shown, edited by the script and ended with the answer.
    void Answer(int answer, std::function<void(QDialog&)> edit = {}) {
        Window().SetDialogRunner([this, answer, edit](QDialog& dialog) {
            titles.push_back(dialog.windowTitle().toStdString());
            dialog.setModal(true); // as exec() shows it
            dialog.show();
            if (edit)
                edit(dialog);
            return answer;
        });
    }

    template <typename T> static T* In(QDialog& dialog, const char* name) {
        T* child = dialog.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    static void Type(QDialog& dialog, const char* box, const char* text) {
        In<CMdcText>(dialog, box)->setText(QString::fromLatin1(text));
    }
    static std::string Text(QDialog& dialog, const char* box) {
        return In<CMdcText>(dialog, box)->GetText();
    }

    std::string Ini() const { return ReadBytes(PathOf("Korvane.ini")); }

    std::vector<std::string> titles;
    CScriptedFolderBrowser folders;
};

// --- Preferences --------------------------------------------------------------------------------

TEST_F(DialogTest, PreferencesOkWritesTheFourKeysAndSwitchesTheModel) {
    WriteFile("Korvane.ini", std::string("[PSR Model]\nmodel=5\n[Most Recently Used]\nsize=2\n"));
    StartWindow();
    Window().SetFolderBrowser(folders);
    folders.choices = {std::string("/chosen/styles"), std::nullopt};
    PreferencesValues shown;
    Answer(QDialog::Accepted, [&](QDialog& dialog) {
        auto* models = In<QComboBox>(dialog, "modelList");
        shown = {models->currentIndex(),
                 Text(dialog, "styleLocationBox"),
                 Text(dialog, "auditionLocationBox"),
                 Text(dialog, "recentListSizeBox"),
                 kBuiltInSynthesizer,
                 Text(dialog, "soundfontBox"),
                 ""};
        EXPECT_EQ(In<QComboBox>(dialog, "auditionOutputList")->currentText(),
                  "Built-in synthesizer");
        EXPECT_EQ(models->count(), 13);
        EXPECT_EQ(models->currentText(), "PSR-740");
        Click(In<QPushButton>(dialog, "browseStyleButton"));
        Click(In<QPushButton>(dialog, "browseAuditionButton")); // cancelled: the box stays
        Type(dialog, "recentListSizeBox", "7");
        models->setCurrentIndex(12);
    });
    Click(Button("preferencesButton"));

    EXPECT_EQ(titles, std::vector<std::string>{"Preferences"});
    EXPECT_EQ(shown, (PreferencesValues{5, Folder(), DefaultAuditionFolder(), "2", "synthesizer",
                                        "", ""}));
    EXPECT_EQ(folders.opened,
              (std::vector<OpenedFolderBrowser>{
                  {"Please select a style folder.", Folder()},
                  {"Please select a temporary audition folder.", DefaultAuditionFolder()}}));
    EXPECT_EQ(Ini(), "[PSR Model]\nmodel=12\n[Most Recently Used]\nsize=7\n"
                     "[Style Base]\nfolder=/chosen/styles\n"
                     "[Audit Location]\nfolder=" +
                         DefaultAuditionFolder() +
                         "\n"
                         "[Audition]\noutput=synthesizer\nsoundfont=\ndriver=\n");
    EXPECT_EQ(Window().GetSettings().defaultModel, 12);
    EXPECT_EQ(Window().GetSettings().defaultStyleLocation, "/chosen/styles");
    EXPECT_EQ(Window().GetSettings().styleFolder, Folder()); // from the next start
    EXPECT_EQ(Window().GetSettings().recentListSize, 7);
    EXPECT_EQ(ModelSelector()->currentText(), "PSR-330");
    EXPECT_EQ(Destination(3)->GetCaption(), "Fill In AB"); // the 11-section layout
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(DialogTest, PreferencesOkUntouchedKeepsTheDefaultModel) {
    WriteFile("Korvane.ini", std::string("[PSR Model]\nmodel=7\n"));
    StartWindow();
    Answer(QDialog::Accepted);
    Action("preferencesAction")->trigger();
    EXPECT_EQ(Window().GetSettings().defaultModel, 7);
    EXPECT_NE(Ini().find("model=7\n"), std::string::npos);
    EXPECT_EQ(ModelSelector()->currentText(), "PSR-540");
}

// OK after changing only the audio driver is no model change, though the selector stands on
// another model than the default and the slots hold assignments: no warning, the selector stays.
TEST_F(DialogTest, PreferencesOkWithTheDefaultModelUntouchedDoesNotWarn) {
    WriteFile("Korvane.ini", std::string("[PSR Model]\nmodel=5\n"));
    StartWindow();
    ModelSelector()->setCurrentIndex(12);
    OpenThroughButton(WriteStyle("in.sty", {"Main A"}));
    Assign(0, 1);
    ASSERT_EQ(Assignment(1)->GetCaption(), "in.sty Main A");
    Answer(QDialog::Accepted, [&](QDialog& dialog) {
        auto* drivers = In<QComboBox>(dialog, "audioDriverList");
        drivers->setCurrentIndex(drivers->findText("JACK"));
    });
    Click(Button("preferencesButton"));
    EXPECT_EQ(Window().GetSettings().audioDriver, "jack");
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(ModelSelector()->currentText(), "PSR-330");
}

TEST_F(DialogTest, PreferencesCancelChangesNothing) {
    const std::string ini = "[PSR Model]\nmodel=3\n";
    WriteFile("Korvane.ini", ini);
    StartWindow();
    Window().SetFolderBrowser(folders);
    folders.choices = {std::string("/elsewhere")};
    const CSettings before = Window().GetSettings();
    Answer(QDialog::Rejected, [&](QDialog& dialog) {
        Click(In<QPushButton>(dialog, "browseStyleButton"));
        EXPECT_EQ(Text(dialog, "styleLocationBox"), "/elsewhere");
        Type(dialog, "recentListSizeBox", "9");
        In<QComboBox>(dialog, "modelList")->setCurrentIndex(0);
    });
    Click(Button("preferencesButton"));
    EXPECT_EQ(Ini(), ini);
    EXPECT_EQ(Window().GetSettings().defaultModel, before.defaultModel);
    EXPECT_EQ(Window().GetSettings().defaultStyleLocation, before.defaultStyleLocation);
    EXPECT_EQ(Window().GetSettings().recentListSize, before.recentListSize);
    EXPECT_EQ(ModelSelector()->currentText(), "PSR-6000");
}

// The audition rows: the output list is the built-in synthesizer, the ports the core lists and the
// configured port that is not connected now; the soundfont is browsed for with the file dialog.
TEST_F(DialogTest, PreferencesTabFollowsTheBoxesOnScreen) {
    StartWindow();
    std::vector<std::string> order;
    Answer(QDialog::Rejected, [&](QDialog& dialog) {
        QWidget* first = In<QWidget>(dialog, "modelList");
        for (QWidget* at = first; order.empty() || at != first; at = at->nextInFocusChain()) {
            if (at->parentWidget() == &dialog && (at->focusPolicy() & Qt::TabFocus))
                order.push_back(at->objectName().toStdString());
        }
        // A caption's band is as wide as the box under it, not over the Browse buttons' column.
        for (const auto& [caption, box] : {std::pair{"auditionOutputCaption", "auditionOutputList"},
                                           {"audioDriverCaption", "audioDriverList"}})
            EXPECT_EQ(In<QWidget>(dialog, caption)->geometry().right(),
                      In<QWidget>(dialog, box)->geometry().right())
                << caption;
    });
    Click(Button("preferencesButton"));
    EXPECT_EQ(order,
              (std::vector<std::string>{"modelList", "styleLocationBox", "browseStyleButton",
                                        "auditionLocationBox", "browseAuditionButton",
                                        "auditionOutputList", "audioDriverList", "soundfontBox",
                                        "browseSoundfontButton", "recentListSizeBox"}));
}

TEST_F(DialogTest, PreferencesOkWritesTheAuditionOutputAndSoundfont) {
    const std::string ini = "[Audition]\noutput=Old Keyboard\nsoundfont=" + PathOf("sf/a.sf2") +
                            "\n[PSR Model]\nmodel=2\n";
    std::filesystem::create_directories(PathOf("sf"));
    WriteFile("Korvane.ini", ini);
    outputPorts = {"PSR-540 MIDI 1", "Through Port"};
    StartWindow();
    dialogs.choices = {std::string(PathOf("sf/b c.sf2"))};
    std::vector<std::string> listed;
    Answer(QDialog::Accepted, [&](QDialog& dialog) {
        auto* outputs = In<QComboBox>(dialog, "auditionOutputList");
        for (int i = 0; i < outputs->count(); ++i)
            listed.push_back(outputs->itemText(i).toStdString());
        EXPECT_EQ(outputs->currentText(), "Old Keyboard (not connected)");
        EXPECT_EQ(Text(dialog, "soundfontBox"), PathOf("sf/a.sf2"));
        Click(In<QPushButton>(dialog, "browseSoundfontButton"));
        outputs->setCurrentIndex(1);
        auto* drivers = In<QComboBox>(dialog, "audioDriverList");
        EXPECT_EQ(drivers->currentText(), "Automatic");
        drivers->setCurrentIndex(drivers->findText("JACK"));
    });
    Click(Button("preferencesButton"));

    EXPECT_EQ(listed, (std::vector<std::string>{"Built-in synthesizer", "PSR-540 MIDI 1",
                                                "Through Port", "Old Keyboard (not connected)"}));
    ASSERT_EQ(dialogs.opened.size(), 1u);
    EXPECT_EQ(dialogs.opened[0].folder, PathOf("sf"));
    EXPECT_EQ(dialogs.opened[0].filters, (std::vector<FileFilter>{{"Soundfonts (*.sf2)", "*.sf2"},
                                                                  {"All Files (*.*)", "*.*"}}));
    EXPECT_EQ(Ini(), "[Audition]\noutput=PSR-540 MIDI 1\nsoundfont=" + PathOf("sf/b c.sf2") +
                         "\ndriver=jack\n[PSR Model]\nmodel=2\n"
                         "[Style Base]\nfolder=" +
                         Folder() + "\n[Audit Location]\nfolder=" + DefaultAuditionFolder() +
                         "\n[Most Recently Used]\nsize=8\n");
    // The audition's sequencer reads these at its next open.
    EXPECT_EQ(Window().GetSettings().auditionOutput, "PSR-540 MIDI 1");
    EXPECT_EQ(Window().GetSettings().soundfont, PathOf("sf/b c.sf2"));
}

// OK without touching the audition rows keeps a port that is not connected now; Cancel after
// changing both rows leaves the file and the settings as they were.
TEST_F(DialogTest, PreferencesKeepsAMissingPortAndCancelKeepsTheAuditionRows) {
    const std::string ini = "[Audition]\noutput=Gone Port\n";
    WriteFile("Korvane.ini", ini);
    StartWindow();
    dialogs.choices = {std::string("/elsewhere/x.sf2")};
    Answer(QDialog::Rejected, [&](QDialog& dialog) {
        Click(In<QPushButton>(dialog, "browseSoundfontButton"));
        EXPECT_EQ(Text(dialog, "soundfontBox"), "/elsewhere/x.sf2");
        In<QComboBox>(dialog, "auditionOutputList")->setCurrentIndex(0);
    });
    Click(Button("preferencesButton"));
    EXPECT_EQ(Ini(), ini);
    EXPECT_EQ(Window().GetSettings().auditionOutput, "Gone Port");
    EXPECT_EQ(Window().GetSettings().soundfont, "");

    Answer(QDialog::Accepted);
    Click(Button("preferencesButton"));
    EXPECT_NE(Ini().find("[Audition]\noutput=Gone Port\nsoundfont=\n"), std::string::npos);
    EXPECT_EQ(Window().GetSettings().auditionOutput, "Gone Port");
}

// --- Message boxes ------------------------------------------------------------------------------

// A message naming a section or file in a single-byte code page shows it as the labels do; UTF-8
// stays UTF-8; markup is shown as written.
TEST(QtMessageBoxTest, DecodesNamesAsTheLabelsDo) {
    struct Case {
        std::string text;
        std::string caption;
        QString shownText;
        QString shownCaption;
    };
    const std::vector<Case> cases = {
        {"Cannot open file caf\xE9.sty.", "Sorry...",
         QStringLiteral("Cannot open file caf\u00E9.sty."), QStringLiteral("Sorry...")},
        {"Section \xC3\xA9t\xC3\xA9 <b>A</b>", "Alert \xE9",
         QStringLiteral("Section \u00E9t\u00E9 <b>A</b>"), QStringLiteral("Alert \u00E9")},
    };
    for (const Case& c : cases) {
        const auto box = CQtMessageBox::MakeBox(nullptr, c.text, c.caption,
                                                MessageIcon::Exclamation, MessageButtons::YesNo);
        EXPECT_EQ(box->text(), c.shownText);
        EXPECT_EQ(box->windowTitle(), c.shownCaption);
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        EXPECT_EQ(box->icon(), QMessageBox::Warning);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
    }
}

// --- Properties ---------------------------------------------------------------------------------

TEST_F(DialogTest, PropertiesShowTheFileAndOkChangesTheSavedFile) {
    StartWindow();
    OpenThroughButton(WriteStyle("in.sty", {"Main A", "Main B"}));
    Assign(0, 1);
    PropertiesColumn shownSource;
    Answer(QDialog::Accepted, [&](QDialog& dialog) {
        shownSource = {Text(dialog, "sourceFormat"),        Text(dialog, "sourceTrackCount"),
                       Text(dialog, "sourceDivision"),      Text(dialog, "sourceTempo"),
                       Text(dialog, "sourceTimeSignature"), Text(dialog, "sourceSequenceName"),
                       Text(dialog, "sourceCopyright")};
        EXPECT_TRUE(In<CMdcText>(dialog, "sourceFormat")->isReadOnly());
        EXPECT_FALSE(In<CMdcText>(dialog, "destinationTempo")->isReadOnly());
        Type(dialog, "destinationTempo", "60");
        Type(dialog, "destinationSequenceName", "My Style");
        Type(dialog, "destinationDivision", "96");
    });
    Click(Button("propertiesButton"));
    EXPECT_EQ(titles, std::vector<std::string>{"Properties Dialog"});
    EXPECT_EQ(shownSource, (PropertiesColumn{"0", "1", "480", "120", "4/4 24 clocks PQN", "", ""}));

    const CStyleProperties* destination =
        Window().GetAssignmentTable().GetDocument().GetDestinationProperties();
    ASSERT_NE(destination, nullptr);
    EXPECT_EQ(destination->m_division, 96);
    EXPECT_EQ(destination->GetSequenceName(), "My Style");
    const CStyleProperties* source =
        Window().GetAssignmentTable().GetDocument().GetSourceProperties();
    EXPECT_EQ(source->GetTempoText(), "120");

    dialogs.choices.push_back(PathOf("out.sty"));
    Click(Button("saveButton"));
    const std::string saved = ReadBytes(PathOf("out.sty"));
    EXPECT_EQ(saved.substr(12, 2), std::string("\x00\x60", 2)); // division 96
    EXPECT_NE(saved.find(std::string("\xFF\x51\x03\x0F\x42\x40", 6)), std::string::npos);
    EXPECT_NE(saved.find(std::string("\xFF\x03\x08My Style", 11)), std::string::npos);
}

TEST_F(DialogTest, PropertiesCancelLeavesBothRecordsUntouched) {
    StartWindow();
    OpenThroughButton(WriteStyle("in.sty", {"Main A"}));
    Assign(0, 1);
    const CStyleDocument& document = Window().GetAssignmentTable().GetDocument();
    const bool hadDestination = document.GetDestinationProperties() != nullptr;
    const PropertiesForm before = PropertiesFormFromDocument(document);
    const ByteArray tempo = *document.GetSourceProperties()->GetTempo();
    Answer(QDialog::Rejected, [&](QDialog& dialog) {
        Type(dialog, "sourceTempo", "200");
        Type(dialog, "sourceDivision", "1");
        Type(dialog, "destinationCopyright", "x");
        Type(dialog, "destinationSequenceName", "y");
    });
    Action("propertiesAction")->trigger();
    const PropertiesForm after = PropertiesFormFromDocument(document);
    EXPECT_EQ(after.source, before.source);
    EXPECT_EQ(after.destination, before.destination);
    EXPECT_EQ(document.GetDestinationProperties() != nullptr, hadDestination);
    EXPECT_EQ(*document.GetSourceProperties()->GetTempo(), tempo);
}

// A box opens at the start of its text: a long copyright shows its beginning, not its end.
TEST_F(DialogTest, PropertiesBoxesOpenAtTheStartOfTheirText) {
    StartWindow();
    OpenThroughButton(WriteStyle("in.sty", {"Main A"}));
    const char* copyright = "(C) 2026 A. Musician, all rights reserved, arranged for the evening";
    Answer(QDialog::Accepted, [&](QDialog& dialog) { Type(dialog, "sourceCopyright", copyright); });
    Action("propertiesAction")->trigger();
    std::vector<std::pair<std::string, int>> shown;
    Answer(QDialog::Rejected, [&](QDialog& dialog) {
        for (const char* box : {"sourceCopyright", "sourceTempo"})
            shown.emplace_back(Text(dialog, box), In<CMdcText>(dialog, box)->cursorPosition());
    });
    Action("propertiesAction")->trigger();
    EXPECT_EQ(shown, (std::vector<std::pair<std::string, int>>{{copyright, 0}, {"120", 0}}));
}

TEST_F(DialogTest, ARefusedTempoOpensTheDialogAgainOnTheTempoWithEveryEdit) {
    StartWindow();
    OpenThroughButton(WriteStyle("in.sty", {"Main A"}));
    int runs = 0;
    Window().SetDialogRunner([&](QDialog& dialog) {
        if (++runs == 1) {
            Type(dialog, "sourceCopyright", "(C) Me");
            Type(dialog, "sourceTempo", "2");
            return int(QDialog::Accepted);
        }
        auto* tempo = In<CMdcText>(dialog, "sourceTempo");
        EXPECT_EQ(dialog.focusWidget(), tempo);
        EXPECT_EQ(tempo->selectedText(), QString("2"));
        EXPECT_EQ(Text(dialog, "sourceCopyright"), "(C) Me");
        return int(QDialog::Rejected);
    });
    Action("propertiesAction")->trigger();
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(messages.shown.size(), 1u); // the refusal
}

TEST_F(DialogTest, PropertiesWithoutAFileCreateSourcePropertiesFromTypedValues) {
    StartWindow();
    Answer(QDialog::Accepted, [&](QDialog& dialog) {
        EXPECT_EQ(Text(dialog, "sourceTempo"), "");
        Type(dialog, "sourceDivision", "96");
    });
    Action("propertiesAction")->trigger(); // the button is off without a file
    const CStyleDocument& document = Window().GetAssignmentTable().GetDocument();
    ASSERT_NE(document.GetSourceProperties(), nullptr);
    EXPECT_EQ(document.GetSourceProperties()->m_division, 96);
    EXPECT_EQ(document.GetDestinationProperties(), nullptr);
}

// --- Voices and About ---------------------------------------------------------------------------

// SInt sets the bass to bank 0/0, Electric Bass (finger) and volume 0x60; Main A sets the bass
// volume to 0x50 and plays a note.
ByteArray VoicesStyle() {
    const ByteArray track = Cat({B({0x00}), Marker("SFF1"), B({0x00}), Marker("SInt"),
                                 B({0x00, 0xBA, 0x00, 0x00, 0x00, 0xBA, 0x20, 0x00, 0x00, 0xCA,
                                    0x21, 0x00, 0xBA, 0x07, 0x60, 0x00}),
                                 Marker("Main A"),
                                 B({0x00, 0xBA, 0x07, 0x50, 0x00, 0x9A, 0x28, 0x64, 0x60, 0x8A,
                                    0x28, 0x00, 0x00, 0xFF, 0x2F, 0x00})});
    return Style(track, Cseg("SInt,Main A", Chunk("Ctab", B({1, 2, 3}))));
}

TEST_F(DialogTest, VoicesShowsEveryCaptionWholeAndSaveWritesTheChangedBassAndVolume) {
    WriteBytes(PathOf("in.sty"), VoicesStyle());
    StartWindow();
    OpenThroughButton(PathOf("in.sty"));
    Assign(0, 0);
    Assign(1, 1);
    Answer(QDialog::Accepted, [&](QDialog& dialog) {
        dialog.adjustSize();
        // What is drawn, not what is stored: each caption whole, inside the grid's panel (which
        // scrolls on a small screen).
        auto* panel = In<QWidget>(dialog, "voicesPanel");
        for (CLabelControl* label : dialog.findChildren<CLabelControl*>()) {
            EXPECT_EQ(label->text(), label->GetShownCaption()) << label->objectName().toStdString();
            EXPECT_TRUE(
                panel->rect().contains(QRect(label->mapTo(panel, QPoint()), label->size())));
        }
        // Each slider and box in a place of its own.
        std::vector<QRect> places;
        for (QWidget* control : panel->findChildren<QWidget*>()) {
            if (qobject_cast<QSlider*>(control) || control->objectName().endsWith("Box")) {
                const QRect place(control->mapTo(panel, QPoint()), control->size());
                for (const QRect& other : places)
                    EXPECT_FALSE(place.intersects(other)) << control->objectName().toStdString();
                places.push_back(place);
            }
        }
        EXPECT_EQ(Text(dialog, "voiceBox2"), "Electric Bass (finger)");
        // The sections disagree on the bass volume: no value is shown for it.
        EXPECT_EQ(Text(dialog, "vol2Box"), "");
        // "fretl" typed and "Fretless Bass" picked from the suggestions; a slider moved after.
        auto* bass = In<CMdcText>(dialog, "voiceBox2");
        bass->setText(QStringLiteral("fretl"));
        Q_EMIT bass->completer()->activated(QStringLiteral("Fretless Bass"));
        In<QSlider>(dialog, "vol3Slider")->setValue(100);
        EXPECT_EQ(Text(dialog, "vol3Box"), "100");
        EXPECT_EQ(Text(dialog, "voiceBox2"), "Fretless Bass");
    });
    Click(Button("voicesButton"));
    dialogs.choices.push_back(PathOf("changed.sty"));
    Click(Button("saveButton"));
    // Chord 1's volume, set by no section, opens SInt; the program changes in place.
    const std::string sint = ReadBytes(PathOf("changed.sty"));
    const ByteArray expected =
        Cat({Marker("SInt"), B({0x00, 0xBB, 0x07, 0x64, 0x00, 0xBA, 0x00, 0x00, 0x00, 0xBA, 0x20,
                                0x00, 0x00, 0xCA, 0x23, 0x00, 0xBA, 0x07, 0x60})});
    EXPECT_NE(sint.find(std::string(expected.begin(), expected.end())), std::string::npos);
}

// A text that names no voice stays in its box with the reason under it; a name in lower case is
// taken and the reason goes.
TEST_F(DialogTest, VoicesSaysUnderTheBoxWhyATextIsRefused) {
    WriteBytes(PathOf("in.sty"), VoicesStyle());
    StartWindow();
    OpenThroughButton(PathOf("in.sty"));
    Assign(0, 0);
    Answer(QDialog::Accepted, [&](QDialog& dialog) {
        auto* bass = In<CMdcText>(dialog, "voiceBox2");
        auto* message = In<QLabel>(dialog, "voiceMessage2");
        bass->setText(QStringLiteral("200/0/1"));
        Q_EMIT bass->editingFinished();
        EXPECT_EQ(Text(dialog, "voiceBox2"), "200/0/1");
        EXPECT_FALSE(message->isHidden());
        EXPECT_EQ(message->text(), QStringLiteral("The bank MSB and LSB are 0 to 127."));
        bass->setText(QStringLiteral("fretless bass"));
        Q_EMIT bass->editingFinished();
        EXPECT_TRUE(message->isHidden());
        EXPECT_EQ(Text(dialog, "voiceBox2"), "Fretless Bass");
    });
    Click(Button("voicesButton"));
    EXPECT_EQ(titles.size(), 1u);
}

// Main A's Ctab record routes channel 3 to Bass, and channel 3 sets its own program: the dialog
// says so beside Bass.
TEST_F(DialogTest, VoicesNamesTheProgramOfAChannelRoutedToAPart) {
    const ByteArray ctab = Cat({B({0x02}), T("Bass    "), B({0x0A}), ByteArray(17, 0x00)});
    WriteBytes(PathOf("in.sty"), Style(Cat({B({0x00}), Marker("SFF1"), B({0x00}), Marker("Main A"),
                                            B({0x00, 0xC2, 0x18, 0x00, 0xFF, 0x2F, 0x00})}),
                                       Cseg("Main A", Chunk("Ctab", ctab))));
    StartWindow();
    OpenThroughButton(PathOf("in.sty"));
    Assign(0, 0);
    Answer(QDialog::Accepted, [&](QDialog& dialog) {
        EXPECT_EQ(In<QLabel>(dialog, "routedNote2")->text(),
                  QStringLiteral("channel 3 routed here sets its own program 25"));
    });
    Click(Button("voicesButton"));
    EXPECT_EQ(titles.size(), 1u);
}

// With nothing assigned the dialog shows the file's SInt and takes no change.
TEST_F(DialogTest, VoicesOfAFileWithNothingAssignedCannotBeChanged) {
    WriteBytes(PathOf("in.sty"), VoicesStyle());
    StartWindow();
    OpenThroughButton(PathOf("in.sty"));
    Answer(QDialog::Accepted, [&](QDialog& dialog) {
        EXPECT_EQ(Text(dialog, "vol2Box"), "96");
        auto* bass = In<CMdcText>(dialog, "voiceBox2");
        bass->setText(QStringLiteral("Fretless Bass"));
        bass->setModified(true);
        Q_EMIT bass->editingFinished();
        EXPECT_TRUE(dynamic_cast<CVoicesDlg&>(dialog).GetChanges().IsEmpty());
    });
    Click(Button("voicesButton"));
    EXPECT_TRUE(Window().GetAssignmentTable().GetDocument().GetVoiceChanges().IsEmpty());
}

// Cancel keeps none of the dialog's edits.
TEST_F(DialogTest, VoicesCancelledChangesNothing) {
    WriteBytes(PathOf("in.sty"), VoicesStyle());
    StartWindow();
    OpenThroughButton(PathOf("in.sty"));
    Assign(1, 1);
    Answer(QDialog::Rejected,
           [&](QDialog& dialog) { In<QSlider>(dialog, "vol3Slider")->setValue(100); });
    Click(Button("voicesButton"));
    EXPECT_TRUE(Window().GetAssignmentTable().GetDocument().GetVoiceChanges().IsEmpty());
}

TEST_F(DialogTest, AboutShowsReleaseAndCredits) {
    StartWindow();
    for (QAction* entry : {Action("aboutAction"), Action("systemAboutAction")}) {
        Answer(QDialog::Accepted, [&](QDialog& dialog) {
            EXPECT_EQ(In<CLabelControl>(dialog, "releaseLabel")->GetCaption(),
                      "Korvane Release 1.1");
            EXPECT_EQ(In<CLabelControl>(dialog, "servicePackLabel")->GetCaption(),
                      "Service Pack 1");
            EXPECT_FALSE(In<CLabelControl>(dialog, "designCredit")->GetCaption().empty());
            EXPECT_FALSE(In<QLabel>(dialog, "aboutIcon")->pixmap().isNull());
        });
        entry->trigger();
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"About Korvane", "About Korvane"}));
}

// --- Help ---------------------------------------------------------------------------------------

const QString kHelpCollection = QStringLiteral(KORVANE_HELP_COLLECTION);

TEST_F(DialogTest, HelpCommandsOpenOneViewerOnTheirTab) {
    StartWindow();
    Window().SetHelpCollection(kHelpCollection);
    EXPECT_EQ(Window().GetHelpWindow(), nullptr); // made at the first call only
    struct {
        const char* action;
        CHelpWindow::Tab tab;
    } const commands[] = {{"searchAction", CHelpWindow::Tab::Search},
                          {"indexAction", CHelpWindow::Tab::Index},
                          {"contentsAction", CHelpWindow::Tab::Contents}};
    CHelpWindow* viewer = nullptr;
    for (const auto& command : commands) {
        Action(command.action)->trigger();
        ASSERT_NE(Window().GetHelpWindow(), nullptr);
        if (!viewer)
            viewer = Window().GetHelpWindow();
        EXPECT_EQ(Window().GetHelpWindow(), viewer) << command.action;
        EXPECT_TRUE(viewer->isVisible());
        EXPECT_EQ(viewer->GetCurrentTab(), command.tab) << command.action;
    }
    viewer->hide();
    Click(Button("helpButton"));
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_EQ(viewer->GetCurrentTab(), CHelpWindow::Tab::Contents);
    EXPECT_TRUE(viewer->GetCurrentPage().toString().endsWith("/index.html"));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(DialogTest, EscapeClosesTheHelp) {
    StartWindow();
    Window().SetHelpCollection(kHelpCollection);
    Action("contentsAction")->trigger();
    CHelpWindow* help = Window().GetHelpWindow();
    ASSERT_NE(help, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowActive(help));
    QTest::keyClick(help, Qt::Key_Escape);
    EXPECT_FALSE(help->isVisible());
}

// F1 opens the contents from the window and from a dialog, above the dialog.
TEST_F(DialogTest, F1OpensTheContentsEverywhere) {
    StartWindow();
    Window().SetHelpCollection(kHelpCollection);
    auto pressF1 = [](QWidget& window) {
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_F1);
    };
    Answer(QDialog::Rejected, [&](QDialog& dialog) {
        pressF1(dialog);
        ASSERT_NE(Window().GetHelpWindow(), nullptr);
        EXPECT_EQ(Window().GetHelpWindow()->windowHandle()->transientParent(),
                  dialog.windowHandle());
    });
    Click(Button("preferencesButton"));
    ASSERT_NE(Window().GetHelpWindow(), nullptr);
    EXPECT_TRUE(Window().GetHelpWindow()->isVisible());
    Window().GetHelpWindow()->hide();
    pressF1(Window());
    EXPECT_TRUE(Window().GetHelpWindow()->isVisible());
    EXPECT_EQ(Window().GetHelpWindow()->windowHandle()->transientParent(), Window().windowHandle());
    EXPECT_EQ(Window().GetHelpWindow()->GetCurrentTab(), CHelpWindow::Tab::Contents);
}

// The contents stand open and one click opens a page; the index keeps what the filter matches.
TEST_F(DialogTest, HelpContentsOpenAndIndexFilters) {
    StartWindow();
    Window().SetHelpCollection(kHelpCollection);
    Action("contentsAction")->trigger();
    auto* tree = Window().GetHelpWindow()->findChild<QTreeView*>("helpContents");
    QTRY_COMPARE(tree->model()->rowCount(), 1);
    const QModelIndex top = tree->model()->index(0, 0);
    QTRY_VERIFY(tree->isExpanded(top));
    const QModelIndex audition = tree->model()->index(5, 0, top);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(audition).center());
    EXPECT_EQ(Window().GetHelpWindow()->GetCurrentPage().fileName(), "audition.html");

    auto* index = Window().GetHelpWindow()->findChild<QListView*>("helpIndex");
    auto* filter = Window().GetHelpWindow()->findChild<QLineEdit*>("helpIndexFilter");
    ASSERT_NE(filter, nullptr);
    EXPECT_TRUE(filter->isClearButtonEnabled()); // what was typed goes with one click
    filter->setText("aud");
    QStringList shown;
    for (int row = 0; row < index->model()->rowCount(); ++row)
        shown << index->model()->index(row, 0).data().toString();
    EXPECT_EQ(shown, (QStringList{"audition", "audition output"}));
}

TEST_F(DialogTest, HelpWithoutItsFileDoesNothingVisible) {
    StartWindow();
    Window().SetHelpCollection(PathOf("missing/korvane.qhc").c_str());
    for (const char* action : {"contentsAction", "searchAction", "indexAction"})
        Action(action)->trigger();
    Click(Button("helpButton"));
    EXPECT_EQ(Window().GetHelpWindow(), nullptr);
    EXPECT_TRUE(messages.shown.empty());
    for (QWidget* window : QApplication::topLevelWidgets())
        EXPECT_FALSE(window->isVisible() && window != &Window())
            << window->objectName().toStdString();
}

TEST(HelpFileTest, HoldsThePagesKeywordsAndPictures) {
    QHelpEngineCore engine(kHelpCollection);
    engine.setReadOnly(true);
    ASSERT_TRUE(engine.setupData()) << engine.error().toStdString();
    const QStringList documentations = engine.registeredDocumentations();
    ASSERT_EQ(documentations.size(), 1);
    auto names = [&](const char* extension) {
        QStringList found;
        for (const QUrl& url :
             engine.files(documentations.front(), QString(), QString::fromLatin1(extension)))
            found << url.fileName();
        found.sort();
        return found;
    };
    EXPECT_EQ(names("html"),
              (QStringList{"assigning.html", "audition.html", "cli.html", "configuration.html",
                           "folder.html", "index.html", "models.html", "patterns.html",
                           "properties.html", "voices.html", "web.html", "window.html"}));
    EXPECT_EQ(names("png"), (QStringList{"about.png", "main-window.png", "preferences.png",
                                         "properties.png", "section-picture.png", "voices.png"}));
    struct {
        const char* keyword;
        const char* page;
    } const keywords[] = {{"Auto Convert", "patterns.html"},
                          {"whole folder, converting", "folder.html"},
                          {"Korvane.ini", "configuration.html"},
                          {"korvane-cli", "cli.html"},
                          {"audition", "audition.html"},
                          {"section layouts", "models.html"},
                          {"web page", "web.html"}};
    for (const auto& k : keywords) {
        const QList<QHelpLink> links = engine.documentsForKeyword(QString::fromLatin1(k.keyword));
        ASSERT_EQ(links.size(), 1) << k.keyword;
        EXPECT_EQ(links.front().url.fileName(), k.page) << k.keyword;
    }
    // The pictures are real drawings of the window, not empty files.
    for (const char* picture : {"main-window.png", "preferences.png"}) {
        QImage image;
        const QUrl url(QStringLiteral("qthelp://%1/doc/images/%2")
                           .arg(documentations.front(), QString::fromLatin1(picture)));
        ASSERT_TRUE(image.loadFromData(engine.fileData(url), "PNG")) << picture;
        EXPECT_GT(image.width(), 200) << picture;
        EXPECT_GT(image.height(), 100) << picture;
    }
}

} // namespace
} // namespace korvane::testing
