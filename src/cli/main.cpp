// korvane-cli: the style engine and the assignment rules of the window, from the command line.

#include "cli/Json.h"
#include "mainwin/AssignmentTable.h"
#include "mainwin/ModelCatalogue.h"
#include "mainwin/OpenCommand.h"
#include "settings/Settings.h"
#include "style/SaveCommand.h"
#include "style/StyleReader.h"

#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace korvane::cli {
namespace {

constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kUsage = 2;

const char* const kMainHelp = R"(Usage: korvane-cli COMMAND [OPTIONS]

Commands:
  info FILE [--json]      show what Korvane reads from a style file
  models [--json]         list the keyboard models and their section layouts
  convert IN --model NAME -o OUT (--by-name | --copy-all | --assign SRC=DST ...) [--force]
                          build a style for another keyboard model

Run 'korvane-cli COMMAND --help' for the options of one command.
)";

const char* const kInfoHelp = R"(Usage: korvane-cli info FILE [--json]

Reads FILE as Korvane's window does and shows its header values, its sections
(name, number of event bytes, CSEG record) and its CSEG records.
  --json   print one JSON object instead of text
)";

const char* const kModelsHelp = R"(Usage: korvane-cli models [--json]

Lists the 13 keyboard models in the window's order with their section layouts.
  --json   print a JSON array instead of text
)";

const char* const kConvertHelp =
    R"(Usage: korvane-cli convert IN --model NAME -o OUT MODE... [--force]

Opens IN, assigns its sections to the slots of the model NAME and writes OUT,
exactly as the same clicks in the window would.
  --model NAME       target keyboard model, e.g. PSR-9000 (see 'korvane-cli models')
  -o, --output OUT   the style file to write
  --by-name          assign every section whose name is a slot name of the model
                     to the first slot of that name, going down the sections
  --copy-all         the window's Copy All: section i to slot i, for the first 16
  --assign SRC=DST   assign the section SRC to the slot DST; repeat as needed,
                     the pairs are clicked in the order given
  --force            replace OUT when it exists
)";

// Messages that the window shows in boxes go to stderr; questions are answered No.
class CConsoleMessages : public IMessageBox {
public:
    MessageAnswer Show(const std::string& text, const std::string& caption, MessageIcon,
                       MessageButtons buttons) override {
        std::cerr << "korvane-cli: " << caption << " " << text << "\n";
        return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }
};

int UsageError(const std::string& problem, const char* help) {
    std::cerr << "korvane-cli: " << problem << "\n\n" << help;
    return kUsage;
}

bool WantsHelp(const std::vector<std::string>& args) {
    for (const auto& arg : args) {
        if (arg == "--help" || arg == "-h")
            return true;
    }
    return false;
}

int SegmentIndex(const CStyleDocument& document, const CCsegRecord* record) {
    const auto csegs = document.GetCsegs();
    for (std::size_t i = 0; i < csegs.size(); ++i) {
        if (csegs[i] == record)
            return int(i);
    }
    return -1;
}

void PrintInfoJson(const CStyleDocument& document) {
    const CStyleProperties& p = *document.GetSourceProperties();
    std::cout << "{\"format\":" << p.m_format << ",\"tracks\":" << p.m_trackCount
              << ",\"division\":" << p.m_division
              << ",\"properties\":{\"copyright\":" << JsonString(p.GetCopyright())
              << ",\"sequence_name\":" << JsonString(p.GetSequenceName())
              << ",\"tempo\":" << JsonString(p.GetTempoText())
              << ",\"time_signature\":" << JsonString(p.GetTimeSignatureText())
              << "},\"sections\":[";
    const char* separator = "";
    for (const CStyleSection* section : document.GetSections()) {
        const int cseg = SegmentIndex(document, section->GetSegment());
        std::cout << separator << "{\"name\":" << JsonString(section->GetName())
                  << ",\"length\":" << section->GetDataLength()
                  << ",\"cseg\":" << (cseg < 0 ? std::string("null") : std::to_string(cseg)) << "}";
        separator = ",";
    }
    std::cout << "],\"csegs\":[";
    separator = "";
    for (const CCsegRecord* record : document.GetCsegs()) {
        std::cout << separator << "{\"sdec\":" << JsonString(record->GetSdecText())
                  << ",\"ctab_length\":" << record->GetCtabLength() << "}";
        separator = ",";
    }
    std::cout << "]}\n";
}

void PrintInfoText(const std::string& path, const CStyleDocument& document) {
    const CStyleProperties& p = *document.GetSourceProperties();
    std::cout << "File:            " << path << "\n"
              << "Format:          " << p.m_format << "\n"
              << "Tracks:          " << p.m_trackCount << "\n"
              << "Division:        " << p.m_division << " pulses per quarter note\n"
              << "Tempo:           " << p.GetTempoText() << "\n"
              << "Time signature:  " << p.GetTimeSignatureText() << "\n"
              << "Sequence name:   " << p.GetSequenceName() << "\n"
              << "Copyright:       " << p.GetCopyright() << "\n"
              << "Sections:        " << document.GetSections().size() << "\n";
    for (const CStyleSection* section : document.GetSections()) {
        const int cseg = SegmentIndex(document, section->GetSegment());
        std::cout << "  " << section->GetName()
                  << std::string(14 - std::min<std::size_t>(13, section->GetName().size()), ' ')
                  << section->GetDataLength() << " bytes"
                  << (cseg < 0 ? std::string(", no CSEG") : ", CSEG " + std::to_string(cseg))
                  << "\n";
    }
    std::cout << "CSEG records:    " << document.GetCsegs().size() << "\n";
    int index = 0;
    for (const CCsegRecord* record : document.GetCsegs()) {
        std::cout << "  " << index++ << ": " << record->GetSdecText() << " ("
                  << record->GetCtabLength() << " Ctab bytes)\n";
    }
}

int RunInfo(const std::vector<std::string>& args) {
    if (WantsHelp(args)) {
        std::cout << kInfoHelp;
        return kSuccess;
    }
    std::string path;
    bool json = false;
    for (const auto& arg : args) {
        if (arg == "--json")
            json = true;
        else if (!arg.empty() && arg[0] == '-')
            return UsageError("unknown option " + arg, kInfoHelp);
        else if (path.empty())
            path = arg;
        else
            return UsageError("info reads one file", kInfoHelp);
    }
    if (path.empty())
        return UsageError("info needs a style file", kInfoHelp);

    CConsoleMessages messages;
    CStyleDocument document;
    document.StartNextFile();
    if (ReadStyleFile(path, document, messages) != 0)
        return kFailure;
    if (json)
        PrintInfoJson(document);
    else
        PrintInfoText(path, document);
    return kSuccess;
}

int RunModels(const std::vector<std::string>& args) {
    if (WantsHelp(args)) {
        std::cout << kModelsHelp;
        return kSuccess;
    }
    bool json = false;
    for (const auto& arg : args) {
        if (arg != "--json")
            return UsageError("unknown argument " + arg, kModelsHelp);
        json = true;
    }
    const auto& names = ModelNames();
    if (json)
        std::cout << "[";
    for (std::size_t i = 0; i < names.size(); ++i) {
        const auto& layout = LayoutOfModel(names[i]);
        if (json) {
            std::cout << (i ? "," : "") << "{\"index\":" << i
                      << ",\"name\":" << JsonString(names[i]) << ",\"sections\":[";
            for (std::size_t s = 0; s < layout.size(); ++s)
                std::cout << (s ? "," : "") << JsonString(layout[s]);
            std::cout << "]}";
        } else {
            std::cout << names[i] << " (" << layout.size() << " sections):";
            for (std::size_t s = 0; s < layout.size(); ++s)
                std::cout << (s ? ", " : " ") << layout[s];
            std::cout << "\n";
        }
    }
    if (json)
        std::cout << "]\n";
    return kSuccess;
}

struct ConvertOptions {
    std::string input;
    std::string output;
    std::string model;
    bool byName = false;
    bool copyAll = false;
    std::vector<std::pair<std::string, std::string>> pairs;
    bool force = false;
};

int ParseConvert(const std::vector<std::string>& args, ConvertOptions& options) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size())
                return false;
            into = args[++i];
            return true;
        };
        if (arg == "--model") {
            if (!value(options.model))
                return UsageError("--model needs a model name", kConvertHelp);
        } else if (arg == "-o" || arg == "--output") {
            if (!value(options.output))
                return UsageError(arg + " needs a file name", kConvertHelp);
        } else if (arg == "--by-name") {
            options.byName = true;
        } else if (arg == "--copy-all") {
            options.copyAll = true;
        } else if (arg == "--force") {
            options.force = true;
        } else if (arg == "--assign") {
            std::string pair;
            if (!value(pair))
                return UsageError("--assign needs SRC=DST", kConvertHelp);
            const auto equals = pair.find('=');
            if (equals == std::string::npos || equals == 0 || equals + 1 == pair.size())
                return UsageError("--assign needs SRC=DST, not '" + pair + "'", kConvertHelp);
            options.pairs.emplace_back(pair.substr(0, equals), pair.substr(equals + 1));
        } else if (!arg.empty() && arg[0] == '-') {
            return UsageError("unknown option " + arg, kConvertHelp);
        } else if (options.input.empty()) {
            options.input = arg;
        } else {
            return UsageError("convert reads one file", kConvertHelp);
        }
    }
    if (options.input.empty())
        return UsageError("convert needs a style file to read", kConvertHelp);
    if (options.output.empty())
        return UsageError("convert needs -o OUT", kConvertHelp);
    if (options.model.empty())
        return UsageError("convert needs --model NAME", kConvertHelp);
    if (int(options.byName) + int(options.copyAll) + int(!options.pairs.empty()) != 1)
        return UsageError("choose one of --by-name, --copy-all or --assign", kConvertHelp);
    if (ModelIndex(options.model) < 0)
        return UsageError("unknown model '" + options.model + "'; 'korvane-cli models' lists them",
                          kConvertHelp);
    return kSuccess;
}

int FindRow(const CAssignmentTable& table, bool source, const std::string& name) {
    for (int row = 0; row < kSlotCount; ++row) {
        const LabelState& label =
            source ? table.GetSourceLabel(row) : table.GetDestinationLabel(row);
        if (!name.empty() && label.caption == name)
            return row;
    }
    return -1;
}

// One source click (unless that row is selected already, when a click would deselect it) and
// one destination click, as a user pairs a section with a slot.
void ClickPair(CAssignmentTable& table, int sourceRow, int slot) {
    if (table.GetSelectedSource() != sourceRow)
        table.ClickSource(sourceRow);
    table.ClickDestination(slot);
}

int RunConvert(const std::vector<std::string>& args) {
    if (WantsHelp(args)) {
        std::cout << kConvertHelp;
        return kSuccess;
    }
    ConvertOptions options;
    if (int usage = ParseConvert(args, options); usage != kSuccess)
        return usage;

    std::error_code error;
    if (!options.force && std::filesystem::exists(options.output, error)) {
        std::cerr << "korvane-cli: " << options.output
                  << " already exists; add --force to replace it.\n";
        return kFailure;
    }

    CConsoleMessages messages;
    CAssignmentTable table(messages);
    CSettings settings;
    table.SelectModel(ModelIndex(options.model));
    table.Clear();
    if (OpenStyleFile(table, settings, options.input) != 0)
        return kFailure;

    if (options.copyAll) {
        table.CopyAll();
    } else if (options.byName) {
        for (int row = 0; row < kSlotCount; ++row) {
            const int slot = FindRow(table, false, table.GetSourceLabel(row).caption);
            if (slot >= 0)
                ClickPair(table, row, slot);
        }
    } else {
        for (const auto& [from, to] : options.pairs) {
            const int row = FindRow(table, true, from);
            const int slot = FindRow(table, false, to);
            if (row < 0) {
                std::cerr << "korvane-cli: " << options.input << " has no section '" << from
                          << "' among its first 16.\n";
                return kFailure;
            }
            if (slot < 0) {
                std::cerr << "korvane-cli: " << options.model << " has no slot '" << to << "'.\n";
                return kFailure;
            }
            ClickPair(table, row, slot);
        }
    }

    if (WriteWork(table, options.output) != 0)
        return kFailure;
    int written = 0;
    for (const auto& slot : table.GetSlots())
        written += slot.assigned ? 1 : 0;
    std::cout << "Wrote " << options.output << ": " << written << " sections for " << options.model
              << ".\n";
    return kSuccess;
}

} // namespace
} // namespace korvane::cli

int main(int argc, char** argv) {
    using namespace korvane::cli;
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return UsageError("no command given", kMainHelp);
    const std::string command = args.front();
    args.erase(args.begin());
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << kMainHelp;
        return kSuccess;
    }
    if (command == "info")
        return RunInfo(args);
    if (command == "models")
        return RunModels(args);
    if (command == "convert")
        return RunConvert(args);
    return UsageError("unknown command '" + command + "'", kMainHelp);
}
