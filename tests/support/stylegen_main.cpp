// korvane-stylegen: writes synthetic style files for the benchmarks, the fuzzer's seed corpus and
// the examples folder.
//
//   korvane-stylegen --count N --seed S --out DIR [--compact] [--truncated] [--sff2]
//   korvane-stylegen --examples DIR
//
// Style i of a run (0 to N-1) is generated from seed S + i and written as DIR/style-NNNNN.sty.
// --compact makes small styles (one-bar sections, three parts) for fuzzing; --truncated also
// writes a cut-off copy of every style (style-NNNNN-cut.sty); --sff2 writes SFF2 styles with Ctb2
// channel records, as newer keyboards do.

#include "support/StyleGenerator.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

using korvane::testing::GeneratedStyle;
using korvane::testing::GenerateStyle;
using korvane::testing::StyleGeneratorOptions;
using korvane::testing::WriteGeneratedStyle;

namespace {

int Usage() {
    std::fprintf(stderr, "usage: korvane-stylegen --count N --seed S --out DIR [--compact] "
                         "[--truncated] [--sff2]\n"
                         "       korvane-stylegen --examples DIR\n");
    return 2;
}

bool Write(const GeneratedStyle& style, const std::string& path) {
    if (WriteGeneratedStyle(style, path))
        return true;
    std::fprintf(stderr, "korvane-stylegen: cannot write %s\n", path.c_str());
    return false;
}

// The styles of the examples folder: one for each section layout a model offers, and one with a
// section set of its own.
int WriteExamples(const std::string& folder) {
    struct Example {
        const char* file;
        StyleGeneratorOptions options;
    };
    StyleGeneratorOptions pop;
    pop.seed = 16;
    pop.sectionNames = korvane::testing::SixteenSectionNames();
    pop.styleName = "Pop 16Beat";
    pop.division = 480;
    pop.tempoBpm = 112;
    pop.numerator = 4;
    pop.denominator = 4;
    pop.csegCount = 3;

    StyleGeneratorOptions ballad;
    ballad.seed = 11;
    ballad.sectionNames = korvane::testing::ElevenSectionNames();
    ballad.styleName = "Cool Ballad";
    ballad.division = 480;
    ballad.tempoBpm = 66;
    ballad.numerator = 6;
    ballad.denominator = 8;
    ballad.csegCount = 2;

    StyleGeneratorOptions swing;
    swing.seed = 13;
    swing.sectionNames = korvane::testing::ThirteenSectionNames();
    swing.styleName = "Big Band Swing";
    swing.division = 1920;
    swing.tempoBpm = 150;
    swing.numerator = 4;
    swing.denominator = 4;
    swing.csegCount = 4;

    // 14 sections with "Fill In AB", no "SFF1" marker, division 96 and an Sdec name that matches
    // no section: the less common corners of the format.
    StyleGeneratorOptions dance;
    dance.seed = 14;
    dance.sectionCount = 14;
    dance.styleName = "Euro Dance";
    dance.division = 96;
    dance.tempoBpm = 128;
    dance.numerator = 4;
    dance.denominator = 4;
    dance.withSff1Marker = false;
    dance.withCopyright = false;
    dance.unknownSdecName = true;

    const Example examples[] = {{"pop-16beat.sty", pop},
                                {"ballad.sty", ballad},
                                {"swing-big.sty", swing},
                                {"euro-dance.sty", dance}};
    for (const Example& example : examples)
        if (!Write(GenerateStyle(example.options), folder + "/" + example.file))
            return 1;
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    long count = -1;
    unsigned long long seed = 1;
    std::string out;
    std::string examples;
    bool compact = false;
    bool truncated = false;
    bool sff2 = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (arg == "--count") {
            const char* v = value();
            if (!v)
                return Usage();
            count = std::strtol(v, nullptr, 10);
        } else if (arg == "--seed") {
            const char* v = value();
            if (!v)
                return Usage();
            seed = std::strtoull(v, nullptr, 10);
        } else if (arg == "--out") {
            const char* v = value();
            if (!v)
                return Usage();
            out = v;
        } else if (arg == "--examples") {
            const char* v = value();
            if (!v)
                return Usage();
            examples = v;
        } else if (arg == "--compact") {
            compact = true;
        } else if (arg == "--truncated") {
            truncated = true;
        } else if (arg == "--sff2") {
            sff2 = true;
        } else {
            return Usage();
        }
    }
    if (!examples.empty()) {
        std::error_code ignored; // a folder that cannot be made shows as a file not written
        std::filesystem::create_directories(examples, ignored);
        return WriteExamples(examples);
    }
    if (count < 0 || out.empty())
        return Usage();
    std::error_code ignored;
    std::filesystem::create_directories(out, ignored);
    for (long i = 0; i < count; ++i) {
        StyleGeneratorOptions options;
        options.seed = seed + static_cast<unsigned long long>(i);
        options.compact = compact;
        options.sff2 = sff2;
        GeneratedStyle style = GenerateStyle(options);
        char name[64];
        std::snprintf(name, sizeof name, "/style-%05ld.sty", i);
        if (!Write(style, out + name))
            return 1;
        if (truncated) {
            // Cut inside the track or the CASM chunk, where the reader has to stop cleanly.
            style.bytes.resize(style.bytes.size() * static_cast<std::size_t>(i % 9 + 1) / 10);
            std::snprintf(name, sizeof name, "/style-%05ld-cut.sty", i);
            if (!Write(style, out + name))
                return 1;
        }
    }
    return 0;
}
