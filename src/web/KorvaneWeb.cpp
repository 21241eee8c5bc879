// The page's core: the engine and the window's assignment rules, bound to JavaScript with embind.
// Bytes in, bytes out: styles come as Uint8Array and new styles leave as Uint8Array; no file is
// opened or written here. Every text that reaches the page is valid UTF-8 (platform/DisplayText).

#include "assignment/AssignmentTable.h"
#include "assignment/ConversionEngine.h"
#include "assignment/ModelCatalogue.h"
#include "assignment/SectionPictures.h"
#include "audition/EventScheduler.h"
#include "audition/MidiFile.h"
#include "audition/SectionAudition.h"
#include "batch/FolderConversion.h"
#include "platform/DisplayText.h"
#include "style/Outcome.h"
#include "style/SectionPicture.h"
#include "style/Sff2Conversion.h"
#include "style/StyleReader.h"
#include "style/StyleVoices.h"
#include "style/VoicesForm.h"

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <string>
#include <vector>

using emscripten::val;

namespace korvane {
namespace {

ByteArray BytesOf(const val& array) {
    return emscripten::convertJSArrayToNumberVector<std::uint8_t>(array);
}

val ArrayOfBytes(const ByteArray& bytes) {
    // A copy: the view into the module's memory would change under the page at the next call.
    return val::global("Uint8Array")
        .new_(emscripten::typed_memory_view(bytes.size(), bytes.data()));
}

val ColourOf(Colour colour) {
    val rgb = val::array();
    rgb.call<void>("push", colour.red, colour.green, colour.blue);
    return rgb;
}

const char* IconName(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Exclamation:
        return "exclamation";
    case MessageIcon::Question:
        return "question";
    case MessageIcon::Information:
        return "information";
    case MessageIcon::None:
        break;
    }
    return "none";
}

// The page shows the window's message boxes after each call; here they are collected. A question
// is answered No: the page asks none whose Yes would change anything.
class CCollectedMessages : public IMessageBox {
public:
    MessageAnswer Show(const std::string& text, const std::string& caption, MessageIcon icon,
                       MessageButtons buttons) override {
        val message = val::object();
        message.set("text", DisplayUtf8(text));
        message.set("caption", caption);
        message.set("icon", std::string(IconName(icon)));
        m_shown.call<void>("push", message);
        return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }
    // The messages shown since the last call.
    val Take() {
        val shown = m_shown;
        m_shown = val::array();
        return shown;
    }

private:
    val m_shown = val::array();
};

const char* FailureName(Failure failure) {
    switch (failure) {
    case Failure::None:
        return "None";
    case Failure::NotRegularFile:
        return "NotRegularFile";
    case Failure::CannotOpen:
        return "CannotOpen";
    case Failure::NotAStyle:
        return "NotAStyle";
    case Failure::Type1Midi:
        return "Type1Midi";
    case Failure::MultitrackMidi:
        return "MultitrackMidi";
    case Failure::NoTrack:
        return "NoTrack";
    case Failure::NonStyleMidi:
        return "NonStyleMidi";
    case Failure::NoCasm:
        return "NoCasm";
    case Failure::CsegWithoutSdec:
        return "CsegWithoutSdec";
    case Failure::Damaged:
        return "Damaged";
    case Failure::CannotConvertSff2:
        return "CannotConvertSff2";
    case Failure::TooManySections:
        return "TooManySections";
    case Failure::OutOfMemoryReading:
        return "OutOfMemoryReading";
    case Failure::NoSuchSection:
        return "NoSuchSection";
    case Failure::NoSuchSlot:
        return "NoSuchSlot";
    case Failure::NoSectionMatches:
        return "NoSectionMatches";
    case Failure::NothingAssigned:
        return "NothingAssigned";
    case Failure::ResolutionUnchangeable:
        return "ResolutionUnchangeable";
    case Failure::OutOfMemoryWriting:
        return "OutOfMemoryWriting";
    case Failure::Exists:
        return "Exists";
    case Failure::CannotCreate:
        return "CannotCreate";
    case Failure::ReservedDeviceName:
        return "ReservedDeviceName";
    case Failure::NameEndsInDotOrBlank:
        return "NameEndsInDotOrBlank";
    case Failure::WriteFailed:
        return "WriteFailed";
    case Failure::StandardOutputFailed:
        return "StandardOutputFailed";
    case Failure::SameNameOnVolume:
        return "SameNameOnVolume";
    case Failure::IsSourceFile:
        return "IsSourceFile";
    case Failure::OutOfMemory:
        return "OutOfMemory";
    }
    return "None";
}

val OutcomeOf(const Outcome& outcome) {
    val result = val::object();
    result.set("failure", std::string(FailureName(outcome.failure)));
    result.set("message", outcome ? OutcomeText(outcome, DisplayUtf8) : std::string());
    return result;
}

val TextList(const std::vector<std::string>& texts) {
    val list = val::array();
    for (const std::string& text : texts)
        list.call<void>("push", DisplayUtf8(text));
    return list;
}

val ReportOf(const CStyleDocument& document) {
    const CConversionReport* report = document.GetConversionReport();
    return report ? val(DisplayUtf8(report->GetText())) : val::null();
}

std::vector<PatternStep> PairsOf(const val& pairs) {
    std::vector<PatternStep> steps;
    if (pairs.isUndefined() || pairs.isNull())
        return steps;
    const int count = pairs["length"].as<int>();
    for (int i = 0; i < count; ++i) {
        PatternStep step;
        step.from = pairs[i][0].as<std::string>();
        step.to = pairs[i][1].as<std::string>();
        steps.push_back(step);
    }
    return steps;
}

// Voice changes as the page holds them: an array of 8 parts, each an object with any of msb,
// lsb, program, volume, pan, reverb, chorus (0-127); plus generalMidi.
VoiceChanges VoiceChangesOf(const val& changes) {
    VoiceChanges result;
    if (changes.isUndefined() || changes.isNull())
        return result;
    static const char* const keys[kVoiceSettingCount] = {"msb", "lsb",    "program", "volume",
                                                         "pan", "reverb", "chorus"};
    const val parts = changes["parts"];
    const int count = parts.isUndefined() ? 0 : std::min(kPartCount, parts["length"].as<int>());
    for (int part = 0; part < count; ++part) {
        const val setup = parts[part];
        if (setup.isUndefined() || setup.isNull())
            continue;
        for (int setting = 0; setting < kVoiceSettingCount; ++setting) {
            const val value = setup[keys[setting]];
            if (value.isNumber())
                result.parts[std::size_t(part)][std::size_t(setting)] =
                    std::uint8_t(std::clamp(value.as<int>(), 0, 127));
        }
    }
    const val generalMidi = changes["generalMidi"];
    result.generalMidiVoices = !generalMidi.isUndefined() && generalMidi.as<bool>();
    return result;
}

val SetupValue(const std::optional<std::uint8_t>& value) {
    return value ? val(int(*value)) : val::null();
}

val ChoiceOf(const VoiceChoice& choice) {
    val result = val::object();
    result.set("name", choice.name);
    result.set("msb", int(choice.msb));
    result.set("lsb", int(choice.lsb));
    result.set("program", int(choice.program));
    return result;
}

} // namespace

// --- the catalogue --------------------------------------------------------------------------

val WebModelNames() {
    return TextList(ModelNames());
}

val WebLayoutOfModel(const std::string& model) {
    return TextList(LayoutOfModel(model));
}

val WebVoiceChoices() {
    val list = val::array();
    for (const VoiceChoice& choice : VoiceChoices())
        list.call<void>("push", ChoiceOf(choice));
    return list;
}

// A typed voice ("Fretless Bass", "127/0/1"), or null.
val WebParseVoice(const std::string& text) {
    const auto choice = ParseVoiceText(text);
    return choice ? ChoiceOf(*choice) : val::null();
}

// --- reading --------------------------------------------------------------------------------

// Reads a style: its outcome (the reader's failure and the message the window shows for it), the
// section names in file order and the SFF2 report (null for an SFF1 style).
val WebReadStyle(const val& array, const std::string& name) {
    ByteArray bytes = BytesOf(array);
    CStyleDocument document;
    document.StartNextFile();
    const Outcome outcome = ReadStyleBytes(bytes, name, document);
    val result = OutcomeOf(outcome);
    std::vector<std::string> names;
    if (!outcome) {
        for (const CStyleSection* section : document.GetSections())
            names.push_back(section->GetName());
    }
    result.set("sections", TextList(names));
    result.set("report", outcome ? val::null() : ReportOf(document));
    return result;
}

// --- a whole conversion ---------------------------------------------------------------------

namespace {

// The engine's one conversion call on bytes, with the options of convert.
ConvertedStyle ConvertBytes(ByteArray bytes, const std::string& name, const val& options) {
    ConversionRequest request;
    request.path = name;
    request.target = name;
    request.bytes = std::move(bytes);
    request.layout = LayoutOfModel(options["model"].as<std::string>());
    const std::string rule =
        options["rule"].isUndefined() ? "byName" : options["rule"].as<std::string>();
    request.rule = rule == "copyAll"   ? PlanRule::CopyAll
                   : rule == "byNames" ? PlanRule::ByNames
                                       : PlanRule::ByName;
    request.pairs = PairsOf(options["pairs"]);
    request.resolution =
        std::uint16_t(options["resolution"].isUndefined() ? 0 : options["resolution"].as<int>());
    request.voiceChanges = VoiceChangesOf(options["voices"]);
    return ConvertStyle(request);
}

} // namespace

// Reads, plans and builds a new style, as korvane-cli convert does. options: model (a name of
// the catalogue), rule ("byName", "copyAll" or "byNames"), pairs ([from, to] names for byNames),
// resolution (0 keeps the source's), voices (as the session's setVoiceChanges). Returns the
// outcome, the bytes (null on failure), the number of slots written and whether the style was
// converted from SFF2.
val WebConvert(const val& array, const std::string& name, const val& options) {
    const ConvertedStyle converted = ConvertBytes(BytesOf(array), name, options);
    val result = OutcomeOf(converted.outcome);
    result.set("bytes", converted.outcome ? val::null() : ArrayOfBytes(converted.bytes));
    result.set("sections", converted.sections);
    result.set("fromSff2", converted.fromSff2);
    return result;
}

// Converts many styles as korvane-cli batch converts a folder: files is an array of
// {name, bytes}; the style files among them (by extension) are converted in name order with
// the options of convert. Returns each file's result ({name, bytes or null, text}) and the
// summary as batch prints it.
val WebConvertMany(const val& files, const val& options) {
    struct Input {
        std::string name;
        val bytes;
    };
    std::vector<Input> inputs;
    const int count = files["length"].as<int>();
    for (int i = 0; i < count; ++i) {
        const std::string name = files[i]["name"].as<std::string>();
        if (IsStyleFileName(name))
            inputs.push_back({name, files[i]["bytes"]});
    }
    std::stable_sort(inputs.begin(), inputs.end(), [](const Input& a, const Input& b) {
        return std::less<std::string>()(a.name, b.name);
    });
    FolderConversionSummary summary;
    summary.styleFiles = inputs.size();
    val results = val::array();
    for (const Input& input : inputs) {
        const ConvertedStyle converted = ConvertBytes(BytesOf(input.bytes), input.name, options);
        FileReport report;
        report.name = input.name;
        report.outcome =
            converted.outcome ? OutcomeOfFile(converted.outcome.failure) : FileOutcome::Converted;
        report.failure = converted.outcome;
        report.fromSff2 = converted.fromSff2;
        val result = val::object();
        result.set("name", DisplayUtf8(input.name));
        result.set("bytes", converted.outcome ? val::null() : ArrayOfBytes(converted.bytes));
        result.set("text", FileReportText(report, DisplayUtf8));
        results.call<void>("push", result);
        summary.files.push_back(std::move(report));
    }
    val result = val::object();
    result.set("files", results);
    result.set("summary",
               FolderSummaryText(summary, std::numeric_limits<std::size_t>::max(), DisplayUtf8));
    return result;
}

// --- the window's work: columns, clicks and Save ----------------------------------------------

// One page's conversion state: the window's assignment table over one style document. Each
// operation returns the messages it showed; state() gives what the three columns show.
class CWebSession {
public:
    CWebSession() : m_table(m_messages) {
        m_table.SelectModel(0);
        m_table.Clear();
    }

    val Open(const val& array, const std::string& fileName) {
        m_table.PrepareForOpen(fileName);
        const Outcome outcome = ReadStyleBytes(BytesOf(array), fileName, m_table.GetDocument());
        if (outcome) {
            ShowOutcome(m_messages, outcome);
            m_table.DropFailedOpen(); // nothing of a broken file can be clicked or saved
        } else {
            m_table.ShowOpenedSections();
        }
        return m_messages.Take();
    }

    val ClickSource(int row) {
        return Run([&] { m_table.ClickSource(row); });
    }
    val ClickDestination(int slot) {
        return Run([&] { m_table.ClickDestination(slot); });
    }
    val CopyAll() {
        return Run([&] { m_table.CopyAll(); });
    }
    val AssignByName() {
        return Run([&] { m_table.AssignByName(); });
    }
    val AssignByNames(const val& pairs) {
        return Run([&] {
            if (m_table.GetDocument().HasSectionList())
                m_table.ApplyPlan(
                    PlanByNames(m_table.GetDocument(), m_table.GetShownLayout(), PairsOf(pairs)));
        });
    }
    val Clear() {
        return Run([&] { m_table.Clear(); });
    }
    val ChangeModel(int model) {
        return Run([&] { m_table.RequestModelChange(model); });
    }

    // What the window shows: the three columns with their colours, the file-name label, the
    // switched buttons, Play and the "Audition" label.
    val State() const {
        val state = val::object();
        val source = val::array(), destination = val::array(), assignment = val::array();
        for (int row = 0; row < kSlotCount; ++row) {
            source.call<void>("push", Label(m_table.GetSourceLabel(row)));
            destination.call<void>("push", Label(m_table.GetDestinationLabel(row)));
            assignment.call<void>("push", Label(m_table.GetAssignmentLabel(row)));
        }
        state.set("source", source);
        state.set("destination", destination);
        state.set("assignment", assignment);
        state.set("fileName", DisplayUtf8(m_table.GetFileNameLabel()));
        state.set("model", m_table.GetSelectedModel());
        state.set("selectedSource", m_table.GetSelectedSource());
        state.set("playEnabled", m_table.IsPlayEnabled());
        state.set("auditionColour", ColourOf(m_table.GetAuditionLabelColour()));
        val buttons = val::object();
        static const char* const names[kSwitchedButtonCount] = {
            "save", "clear", "properties", "voices", "copyAll", "storePattern"};
        for (int button = 0; const char* name : names)
            buttons.set(name, m_table.IsButtonOn(SwitchedButton(button++)));
        state.set("buttons", buttons);
        state.set("report", ReportOf(m_table.GetDocument()));
        return state;
    }

    // The new style's bytes, as Save writes them; null after a message when nothing can be
    // written. Saving ends with Clear, as in the window, unless keep is true (Play's bytes).
    val Build(int resolution, bool keep) {
        val result = val::object();
        CStyleDocument& document = m_table.GetDocument();
        if (document.GetAssignedSections().empty()) {
            if (!keep)
                m_messages.Show(
                    "You must first assign style sections\nso that you have something to save.",
                    "Sorry...", MessageIcon::Exclamation, MessageButtons::Ok);
            result.set("bytes", val::null());
            result.set("messages", m_messages.Take());
            return result;
        }
        ConversionRequest request;
        request.made = MadeAssignment{&document, &m_table.GetSlots()};
        request.path = request.target = m_table.GetSourceFileName();
        request.resolution = std::uint16_t(resolution);
        const ConvertedStyle converted = ConvertStyle(request);
        if (converted.outcome) {
            ShowOutcome(m_messages, converted.outcome);
            result.set("bytes", val::null());
        } else {
            result.set("bytes", ArrayOfBytes(converted.bytes));
            if (!keep)
                m_table.Clear();
        }
        result.set("messages", m_messages.Take());
        return result;
    }

    // The bytes of the style that plays the section of a source row alone, as Play This Section
    // plays it; null after a message when it cannot be built, null without one for an empty row.
    val SectionStyle(int row) {
        val result = val::object();
        result.set("bytes", val::null());
        if (const CStyleSection* section = SectionAtLabel(m_table, LabelColumn::Source, row)) {
            ByteArray bytes;
            const Outcome outcome = BuildSectionStyle(m_table.GetDocument(), *section,
                                                      m_table.GetSourceFileName(), bytes);
            if (outcome)
                ShowOutcome(m_messages, outcome);
            else
                result.set("bytes", ArrayOfBytes(bytes));
        }
        result.set("messages", m_messages.Take());
        return result;
    }

    // The Voices table: per part its name, voice and mixer as the new style will have them, with
    // the changes chosen so far; readOnly while nothing is assigned.
    val Voices() const {
        const VoicesForm form = VoicesFormFromDocument(m_table.GetDocument(), m_table.GetSlots());
        const SavedVoices shown = form.Preview(m_table.GetDocument().GetVoiceChanges());
        val result = val::object();
        result.set("readOnly", form.readOnly);
        val parts = val::array();
        for (int part = 0; part < kPartCount; ++part) {
            const PartSetup& setup = shown.parts[std::size_t(part)];
            val row = val::object();
            row.set("part", std::string(kPartNames[std::size_t(part)]));
            row.set("voice", VoiceDiffers(shown, part) ? std::string("(differs between sections)")
                                                       : VoiceName(setup));
            static const char* const keys[kMixerSettingCount] = {"volume", "pan", "reverb",
                                                                 "chorus"};
            for (int control = 0; control < kMixerSettingCount; ++control) {
                const auto setting = std::size_t(int(VoiceSetting::Volume) + control);
                const bool differs = shown.differs[std::size_t(part)][setting];
                row.set(keys[control], differs ? val::null() : SetupValue(setup[setting]));
            }
            parts.call<void>("push", row);
        }
        result.set("parts", parts);
        result.set("generalMidi", m_table.GetDocument().GetVoiceChanges().generalMidiVoices);
        return result;
    }

    void SetVoiceChanges(const val& changes) {
        m_table.GetDocument().SetVoiceChanges(VoiceChangesOf(changes));
    }

    // The piano roll of the section a label shows (column "source", "destination" or
    // "assignment"), or null for an empty row or a free slot.
    val Picture(const std::string& columnName, int row) const {
        const LabelColumn column = columnName == "source"        ? LabelColumn::Source
                                   : columnName == "destination" ? LabelColumn::Destination
                                                                 : LabelColumn::Assignment;
        const CStyleSection* section = SectionAtLabel(m_table, column, row);
        if (!section)
            return val::null();
        const CStyleDocument& document = m_table.GetDocument();
        const ByteArray* bytes = section->GetData();
        const SectionPicture picture =
            SummariseSection(bytes ? ByteSpan(*bytes) : ByteSpan(),
                             SectionTimingIn(document, *section), RoutingOf(section->GetSegment()));
        const PartVoiceNames voices = SectionVoiceNames(*section);
        val result = val::object();
        result.set("name", DisplayUtf8(section->GetName()));
        result.set("length", picture.LengthText());
        result.set("lengthPulses", double(picture.lengthPulses));
        result.set("division", int(picture.timing.division));
        result.set("damaged", picture.damaged);
        result.set("damagedAt", double(picture.damagedAt));
        result.set("unrouted", picture.UnroutedText());
        val lanes = val::array();
        for (int part = 0; part < kPartCount; ++part) {
            if (!picture.Plays(part))
                continue;
            val lane = val::object();
            lane.set("part", part);
            std::string laneName = kPartNames[std::size_t(part)];
            if (!voices[std::size_t(part)].empty())
                laneName += ": " + voices[std::size_t(part)];
            lane.set("name", laneName);
            val notes = val::array();
            for (const PictureNote& note : picture.parts[std::size_t(part)]) {
                val each = val::array();
                each.call<void>("push", double(note.start), double(note.length), int(note.key),
                                int(note.velocity));
                notes.call<void>("push", each);
            }
            lane.set("notes", notes);
            lanes.call<void>("push", lane);
        }
        result.set("lanes", lanes);
        return result;
    }

private:
    template <typename Operation> val Run(Operation operation) {
        operation();
        return m_messages.Take();
    }

    static val Label(const LabelState& label) {
        val result = val::object();
        result.set("caption", DisplayUtf8(label.caption));
        result.set("colour", ColourOf(label.textColour));
        return result;
    }

    CCollectedMessages m_messages; // first: the table shows its messages here
    CAssignmentTable m_table;
};

// --- playing -------------------------------------------------------------------------------

// The events of a new style as the window's audition sends them, handed out by the time they are
// due: the page's synthesizer and its MIDI port play from the same scheduler as the desktop's.
class CWebScheduler {
public:
    // An empty scheduler when the bytes are no MIDI file; problem() says why.
    explicit CWebScheduler(const val& array) {
        if (auto sequence = ParseMidiFile(BytesOf(array), m_problem))
            m_schedule.SetSequence(std::move(*sequence));
    }
    std::string Problem() const { return m_problem; }
    double Duration() const { return m_schedule.Sequence().duration; }
    void Rewind() { m_schedule.Rewind(); }
    void SetRepeat(bool repeat) { m_schedule.SetRepeat(repeat); }
    bool Finished() const { return m_schedule.Finished(); }
    // The events due before untilSeconds, each as [seconds, bytes].
    val TakeDue(double untilSeconds) {
        val due = val::array();
        m_schedule.TakeDue(
            untilSeconds, [&](const CMidiEvent& event) { due.call<void>("push", EventOf(event)); });
        return due;
    }
    // The note-ons of the notes sounding where playback stands, to send again on resuming.
    val SoundingNotes() const {
        val notes = val::array();
        for (const CMidiEvent& event : m_schedule.SoundingNotes())
            notes.call<void>("push", EventOf(event));
        return notes;
    }

private:
    static val EventOf(const CMidiEvent& event) {
        val result = val::array();
        result.call<void>("push", event.seconds, ArrayOfBytes(event.bytes));
        return result;
    }
    CEventScheduler m_schedule;
    std::string m_problem;
};

} // namespace korvane

EMSCRIPTEN_BINDINGS(korvane) {
    using namespace korvane;
    emscripten::function("modelNames", &WebModelNames);
    emscripten::function("layoutOfModel", &WebLayoutOfModel);
    emscripten::function("voiceChoices", &WebVoiceChoices);
    emscripten::function("parseVoice", &WebParseVoice);
    emscripten::function("readStyle", &WebReadStyle);
    emscripten::function("convert", &WebConvert);
    emscripten::function("convertMany", &WebConvertMany);
    emscripten::class_<CWebSession>("Session")
        .constructor<>()
        .function("open", &CWebSession::Open)
        .function("clickSource", &CWebSession::ClickSource)
        .function("clickDestination", &CWebSession::ClickDestination)
        .function("copyAll", &CWebSession::CopyAll)
        .function("assignByName", &CWebSession::AssignByName)
        .function("assignByNames", &CWebSession::AssignByNames)
        .function("clear", &CWebSession::Clear)
        .function("changeModel", &CWebSession::ChangeModel)
        .function("state", &CWebSession::State)
        .function("build", &CWebSession::Build)
        .function("sectionStyle", &CWebSession::SectionStyle)
        .function("voices", &CWebSession::Voices)
        .function("setVoiceChanges", &CWebSession::SetVoiceChanges)
        .function("picture", &CWebSession::Picture);
    emscripten::class_<CWebScheduler>("Scheduler")
        .constructor<const val&>()
        .function("problem", &CWebScheduler::Problem)
        .function("duration", &CWebScheduler::Duration)
        .function("rewind", &CWebScheduler::Rewind)
        .function("setRepeat", &CWebScheduler::SetRepeat)
        .function("finished", &CWebScheduler::Finished)
        .function("takeDue", &CWebScheduler::TakeDue)
        .function("soundingNotes", &CWebScheduler::SoundingNotes);
}
