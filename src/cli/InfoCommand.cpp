// korvane-cli info: what the reader takes from a style file, as text or as one JSON object.

#include "cli/CliSupport.h"
#include "cli/VoicesCommand.h"
#include "platform/DisplayText.h"
#include "style/SectionPicture.h"
#include "style/StyleReader.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <iostream>
#include <memory>
#include <unordered_map>

namespace korvane::cli {
namespace {

const std::string kInfoHelp = HelpHint("info");

struct InfoOptions {
    std::string path;
    bool json = false;
    bool notes = false;
};

// --notes: what a section plays, from its picture, each channel's notes in the part its CSEG
// routes it to.
SectionPicture NotesOf(const CStyleDocument& document, const CStyleSection& section) {
    const ByteArray* data = section.GetData();
    return SummariseSection(data ? ByteSpan(*data) : ByteSpan(),
                            TimingOf(document.GetSourceProperties()),
                            RoutingOf(section.GetSegment()));
}

nlohmann::ordered_json NotesJson(const SectionPicture& picture) {
    nlohmann::ordered_json parts = nlohmann::ordered_json::array();
    for (int part = 0; part < kPartCount; ++part)
        if (picture.Plays(part))
            parts.push_back({{"part", kPartNames[std::size_t(part)]},
                             {"channel", kFirstPartChannel + part + 1},
                             {"notes", picture.parts[std::size_t(part)].size()}});
    nlohmann::ordered_json notes = {{"bars", picture.bars},
                                    {"beats", picture.beats},
                                    {"length_text", picture.LengthText()},
                                    {"parts", parts}};
    // Only where a channel plays that no record routes, so other outputs stay as they were.
    nlohmann::ordered_json unrouted = nlohmann::ordered_json::array();
    for (int channel = 0; channel < kChannelCount; ++channel)
        if (const std::size_t count = picture.unroutedNotes[std::size_t(channel)])
            unrouted.push_back({{"channel", channel + 1}, {"notes", count}});
    if (!unrouted.empty())
        notes["not_routed"] = unrouted;
    return notes;
}

// "4 bars, 4/4; Rhythm Main 16, Bass 8" ("no notes" for none).
std::string NotesText(const SectionPicture& picture) {
    std::string text = picture.LengthText() + ";";
    for (int part = 0; part < kPartCount; ++part)
        if (picture.Plays(part))
            text += std::string(text.back() == ';' ? " " : ", ") + kPartNames[std::size_t(part)] +
                    " " + std::to_string(picture.parts[std::size_t(part)].size());
    if (text.back() == ';')
        text += " no notes";
    const std::string unrouted = picture.UnroutedText();
    return unrouted.empty() ? text : text + "; " + unrouted;
}

// The index of each CSEG record in the document's list, looked up once per section.
std::unordered_map<const CCsegRecord*, int> SegmentIndexes(const CStyleDocument& document) {
    std::unordered_map<const CCsegRecord*, int> indexes;
    int index = 0;
    for (const CCsegRecord* record : document.GetCsegs())
        indexes.emplace(record, index++);
    return indexes;
}

int SegmentIndex(const std::unordered_map<const CCsegRecord*, int>& indexes,
                 const CCsegRecord* record) {
    const auto found = indexes.find(record);
    return found == indexes.end() ? -1 : found->second;
}

// The object is written as it is made, one section at a time, so a style of many sections takes
// no more memory than one section's part of it.
void PrintInfoJson(const CStyleDocument& document, bool notes) {
    const CStyleProperties& p = *document.GetSourceProperties();
    const auto indexes = SegmentIndexes(document);
    std::ostream& out = std::cout;
    out << "{\"format\":" << p.m_format << ",\"tracks\":" << p.m_trackCount
        << ",\"division\":" << p.m_division << ",\"properties\":"
        << nlohmann::ordered_json{{"copyright", DisplayUtf8(p.GetCopyright())},
                                  {"sequence_name", DisplayUtf8(p.GetSequenceName())},
                                  {"tempo", p.GetTempoText()},
                                  {"time_signature", p.GetTimeSignatureText()}}
               .dump()
        << ",\"sections\":[";
    const char* separator = "";
    for (const CStyleSection* section : document.GetSections()) {
        const int cseg = SegmentIndex(indexes, section->GetSegment());
        nlohmann::ordered_json entry = {
            {"name", DisplayUtf8(section->GetName())},
            {"length", section->GetDataLength()},
            {"cseg", cseg < 0 ? nlohmann::ordered_json() : nlohmann::ordered_json(cseg)}};
        if (notes)
            entry["notes"] = NotesJson(NotesOf(document, *section));
        out << separator << entry.dump();
        separator = ",";
    }
    out << "],\"csegs\":[";
    separator = "";
    for (const CCsegRecord* record : document.GetCsegs()) {
        out << separator
            << nlohmann::ordered_json{{"sdec", DisplayUtf8(record->GetSdecText())},
                                      {"ctab_length", record->GetCtabLength()}}
                   .dump();
        separator = ",";
    }
    out << "],\"voices\":";
    PrintVoicesJson(out, document);
    // Only a converted file has the key, so the output of SFF1 files stays as it was.
    if (const CConversionReport* report = document.GetConversionReport()) {
        nlohmann::ordered_json conversion = {
            {"summary", "SFF2 style, converted to SFF1"}, {"from", "SFF2"}, {"to", "SFF1"}};
        conversion["channels"] = nlohmann::ordered_json::array();
        for (const auto& channel : report->GetChannels()) {
            nlohmann::ordered_json losses = nlohmann::ordered_json::array();
            for (const auto& loss : channel.losses) {
                nlohmann::ordered_json csegs = nlohmann::ordered_json::array();
                for (const std::string& sdec : loss.sections)
                    csegs.push_back(DisplayUtf8(sdec));
                losses.push_back({{"loss", ConversionLossText(loss.loss)}, {"csegs", csegs}});
            }
            conversion["channels"].push_back({{"channel", channel.channel},
                                              {"name", DisplayUtf8(channel.channelName)},
                                              {"losses", losses}});
        }
        out << ",\"conversion\":" << conversion.dump();
    }
    out << "}\n";
}

void PrintInfoText(const std::string& path, const CStyleDocument& document, bool notes) {
    const CStyleProperties& p = *document.GetSourceProperties();
    const auto indexes = SegmentIndexes(document);
    std::cout << "File:            " << PrintableUtf8(path) << "\n"
              << "Format:          " << p.m_format << "\n"
              << "Tracks:          " << p.m_trackCount << "\n"
              << "Division:        " << p.m_division << " pulses per quarter note\n"
              << "Tempo:           " << p.GetTempoText() << "\n"
              << "Time signature:  " << p.GetTimeSignatureText() << "\n"
              << "Sequence name:   " << PrintableUtf8(p.GetSequenceName()) << "\n"
              << "Copyright:       " << PrintableUtf8(p.GetCopyright()) << "\n"
              << "Sections:        " << document.GetSections().size() << "\n";
    for (const CStyleSection* section : document.GetSections()) {
        const int cseg = SegmentIndex(indexes, section->GetSegment());
        const std::string name = PrintableUtf8(section->GetName());
        // The column is counted in characters: a UTF-8 name's continuation bytes take no room.
        const auto characters = std::size_t(std::count_if(
            name.begin(), name.end(), [](char byte) { return (byte & 0xC0) != 0x80; }));
        std::cout << "  " << name << std::string(14 - std::min<std::size_t>(13, characters), ' ')
                  << section->GetDataLength() << " bytes"
                  << (cseg < 0 ? std::string(", no CSEG") : ", CSEG " + std::to_string(cseg))
                  << "\n";
        if (notes)
            std::cout << "    " << NotesText(NotesOf(document, *section)) << "\n";
    }
    std::cout << "CSEG records:    " << document.GetCsegs().size() << "\n";
    int index = 0;
    for (const CCsegRecord* record : document.GetCsegs()) {
        std::cout << "  " << index++ << ": " << PrintableUtf8(record->GetSdecText()) << " ("
                  << record->GetCtabLength() << " Ctab bytes)\n";
    }
    if (const CConversionReport* report = document.GetConversionReport()) {
        // The report's first line, then its lines indented under it.
        const std::string text = report->GetText();
        std::string::size_type start = 0;
        for (bool first = true; start <= text.size(); first = false) {
            const auto end = std::min(text.find('\n', start), text.size());
            std::cout << (first ? "Conversion:      " : "  ")
                      << PrintableUtf8(text.substr(start, end - start)) << "\n";
            start = end + 1;
        }
    }
}

ExitCode RunInfo(const InfoOptions& options) {
    CStyleDocument document;
    if (!ReadStyleForCommand(options.path, document))
        return ExitCode::Failure;
    if (options.json)
        PrintInfoJson(document, options.notes);
    else
        PrintInfoText(options.path, document, options.notes);
    return FinishStandardOutput();
}

} // namespace

Command AddInfoCommand(CLI::App& app) {
    auto options = std::make_shared<InfoOptions>();
    CLI::App* info = app.add_subcommand("info", "show what Korvane reads from a style file");
    info->add_option("FILE", options->path, "the style file to read")->required();
    info->add_flag("--json", options->json, "print one JSON object instead of text");
    info->add_flag("--notes", options->notes,
                   "add, for each section, its length in bars and beats and the parts that "
                   "play it with their note counts");
    info->footer("Reads FILE as Korvane's window does and shows its header values (format, "
                 "tracks, division, tempo, time signature, sequence name, copyright), its "
                 "sections (name, number of event bytes, CSEG record) and its CSEG records with "
                 "their Sdec text; for an SFF2 style, what its conversion to SFF1 left out, by "
                 "channel. Names are shown as UTF-8 when they are valid UTF-8 and as Latin-1 "
                 "otherwise; in text output, control characters are written as \\xNN, so a file "
                 "cannot drive the terminal.");
    return {info, kInfoHelp, [options] { return RunInfo(*options); }};
}

} // namespace korvane::cli
