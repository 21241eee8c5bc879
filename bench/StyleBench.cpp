// Read and write throughput of the style engine, in bytes of style file per second, over a set of
// generated styles of every section count and division the generator makes. The two benchmarks
// that touch the disk count wall-clock time, since the writer waits for its data to reach the disk.

#include "style/StyleReader.h"
#include "style/StyleWriter.h"
#include "support/HostileStyles.h"
#include "support/StyleGenerator.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace korvane {
namespace {

constexpr int kStyleCount = 50;

// The 16-section layout: every generated section but "Fill In AB" finds its slot by name.
const std::vector<std::string>& Layout() {
    return testing::SixteenSectionNames();
}

class CDiscardMessages : public IMessageBox {
public:
    MessageAnswer Show(const std::string&, const std::string&, MessageIcon,
                       MessageButtons buttons) override {
        return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    }
};

// A style read into its own document, with its sections assigned to the slots of their names.
struct ReadStyle {
    std::unique_ptr<CStyleDocument> document = std::make_unique<CStyleDocument>();
    AssignmentSlots slots;
    std::vector<const CCsegRecord*> csegs;

    StyleWriteInput Input() {
        return {document->EnsureDestinationProperties(), slots, document->GetAssignedSections(),
                csegs};
    }
};

// The generated styles, written once to a temporary folder that is removed at exit.
class CCorpus {
public:
    CCorpus() {
        char folder[] = "/tmp/korvane-bench-XXXXXX";
        if (!::mkdtemp(folder))
            std::abort();
        m_folder = folder;
        for (int i = 0; i < kStyleCount; ++i) {
            testing::StyleGeneratorOptions options;
            options.seed = static_cast<std::uint64_t>(i + 1);
            testing::GeneratedStyle style = testing::GenerateStyle(options);
            std::string path = m_folder + "/style-" + std::to_string(i) + ".sty";
            if (!testing::WriteGeneratedStyle(style, path))
                std::abort();
            m_paths.push_back(path);
            m_totalBytes += style.bytes.size();
            m_bytes.push_back(std::move(style.bytes));
        }
    }
    ~CCorpus() { std::filesystem::remove_all(m_folder); }

    const std::vector<std::string>& Paths() const { return m_paths; }
    const std::vector<ByteArray>& Bytes() const { return m_bytes; }
    std::size_t TotalBytes() const { return m_totalBytes; }
    std::string OutputPath(std::size_t i) const {
        return m_folder + "/out-" + std::to_string(i) + ".sty";
    }

    std::vector<ReadStyle> ReadAll() const {
        std::vector<ReadStyle> styles(m_paths.size());
        CDiscardMessages messages;
        for (std::size_t i = 0; i < m_paths.size(); ++i) {
            ReadStyle& style = styles[i];
            style.document->StartNextFile();
            if (ReadStyleFile(m_paths[i], *style.document, messages) != ReadResult::Ok)
                std::abort();
            std::vector<CStyleSection*> sections = style.document->GetSections();
            for (CStyleSection* section : sections) {
                for (std::size_t slot = 0; slot < Layout().size(); ++slot) {
                    if (Layout()[slot] == section->GetName() && !style.slots[slot].assigned) {
                        style.document->Assign(*section, static_cast<std::uint32_t>(slot));
                        style.slots[slot] = {true, section->GetName(), Layout()[slot]};
                    }
                }
            }
            style.csegs = style.document->GetCsegs();
        }
        return styles;
    }

private:
    std::string m_folder;
    std::vector<std::string> m_paths;
    std::vector<ByteArray> m_bytes;
    std::size_t m_totalBytes = 0;
};

const CCorpus& Corpus() {
    static const CCorpus corpus;
    return corpus;
}

void ReadStyleFileFromDisk(benchmark::State& state) {
    const CCorpus& corpus = Corpus();
    CDiscardMessages messages;
    for (auto _ : state) {
        for (const std::string& path : corpus.Paths()) {
            CStyleDocument document;
            document.StartNextFile();
            if (ReadStyleFile(path, document, messages) != ReadResult::Ok)
                state.SkipWithError("a generated style did not read");
            benchmark::DoNotOptimize(document.GetSections().data());
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(corpus.TotalBytes()));
}
BENCHMARK(ReadStyleFileFromDisk)->Unit(benchmark::kMicrosecond)->UseRealTime();

void ReadStyleBytesFromMemory(benchmark::State& state) {
    const CCorpus& corpus = Corpus();
    for (auto _ : state) {
        for (const ByteArray& bytes : corpus.Bytes()) {
            CStyleDocument document;
            document.StartNextFile();
            if (ReadStyleBytes(bytes, "bench.sty", document))
                state.SkipWithError("a generated style did not read");
            benchmark::DoNotOptimize(document.GetSections().data());
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(corpus.TotalBytes()));
}
BENCHMARK(ReadStyleBytesFromMemory)->Unit(benchmark::kMicrosecond);

void BuildStyleBytesOfAssignedSections(benchmark::State& state) {
    std::vector<ReadStyle> styles = Corpus().ReadAll();
    std::size_t written = 0;
    for (auto _ : state) {
        written = 0;
        for (ReadStyle& style : styles) {
            ByteArray bytes = BuildStyleBytes(style.Input());
            written += bytes.size();
            benchmark::DoNotOptimize(bytes.data());
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(written));
}
BENCHMARK(BuildStyleBytesOfAssignedSections)->Unit(benchmark::kMicrosecond);

void WriteStyleFileToDisk(benchmark::State& state) {
    const CCorpus& corpus = Corpus();
    std::vector<ReadStyle> styles = corpus.ReadAll();
    std::size_t written = 0;
    for (ReadStyle& style : styles)
        written += BuildStyleBytes(style.Input()).size();
    CDiscardMessages messages;
    for (auto _ : state) {
        for (std::size_t i = 0; i < styles.size(); ++i)
            if (WriteStyleFile(corpus.OutputPath(i), styles[i].Input(), messages) !=
                WriteResult::Ok)
                state.SkipWithError("a style could not be written");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(written));
}
BENCHMARK(WriteStyleFileToDisk)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Crafted shapes that once read in quadratic time, each to be read at a rate close to the
// generated styles' above: a 1 MB Sdec text "a,a,a,…", 100,000 sections named in one Sdec text,
// 20,000 CSEGs of one section each, and as many again in an SFF2 style whose every CSEG adds a
// note to the conversion report.
enum HostileShape { kLongSdec, kManyNamedSections, kManyCsegs, kManySff2Csegs };

const ByteArray& HostileBytes(HostileShape shape) {
    static const ByteArray longSdec = testing::LongSdecStyle(1 << 20);
    static const ByteArray manyNamed = testing::ManyNamedSectionsStyle(100000);
    static const ByteArray manyCsegs = testing::ManyCsegsStyle(20000);
    static const ByteArray manySff2Csegs = testing::ManySff2CsegsStyle(20000);
    switch (shape) {
    case kManySff2Csegs:
        return manySff2Csegs;
    case kLongSdec:
        return longSdec;
    case kManyNamedSections:
        return manyNamed;
    case kManyCsegs:
        break;
    }
    return manyCsegs;
}

const char* const kHostileNames[] = {"long-sdec", "many-named-sections", "many-csegs",
                                     "many-sff2-csegs"};

void ReadFromMemory(const ByteArray& bytes, CStyleDocument& document, benchmark::State& state) {
    document.StartNextFile();
    if (ReadStyleBytes(bytes, "hostile.sty", document))
        state.SkipWithError("a crafted style did not read");
}

void ReadHostileStyle(benchmark::State& state) {
    const ByteArray& bytes = HostileBytes(HostileShape(state.range(0)));
    state.SetLabel(kHostileNames[state.range(0)]);
    for (auto _ : state) {
        CStyleDocument document;
        ReadFromMemory(bytes, document, state);
        benchmark::DoNotOptimize(document.GetSections().data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(ReadHostileStyle)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();

// What korvane-cli info does after the read: each section's CSEG index, then every record, then
// the conversion report's text (also the file-name label's tooltip).
void InfoWorkOnHostileStyle(benchmark::State& state) {
    const ByteArray& bytes = HostileBytes(HostileShape(state.range(0)));
    state.SetLabel(kHostileNames[state.range(0)]);
    for (auto _ : state) {
        CStyleDocument document;
        ReadFromMemory(bytes, document, state);
        std::unordered_map<const CCsegRecord*, int> indexes;
        for (const CCsegRecord* record : document.GetCsegs())
            indexes.emplace(record, int(indexes.size()));
        std::size_t total = 0;
        for (const CStyleSection* section : document.GetSections()) {
            const auto found = indexes.find(section->GetSegment());
            total += section->GetDataLength() + (found == indexes.end() ? 0 : 1);
        }
        for (const CCsegRecord* record : document.GetCsegs())
            total += record->GetSdecText().size() + record->GetCtabLength();
        if (const CConversionReport* report = document.GetConversionReport())
            total += report->GetText().size();
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(InfoWorkOnHostileStyle)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();

// Writing a crafted style back: the first 16 sections assigned, every record in the CSEG list.
void BuildStyleBytesOfHostileStyle(benchmark::State& state) {
    const ByteArray& bytes = HostileBytes(HostileShape(state.range(0)));
    state.SetLabel(kHostileNames[state.range(0)]);
    ReadStyle style;
    ReadFromMemory(bytes, *style.document, state);
    const std::vector<CStyleSection*> sections = style.document->GetSections();
    for (std::size_t slot = 0; slot < sections.size() && slot < Layout().size(); ++slot) {
        style.document->Assign(*sections[slot], static_cast<std::uint32_t>(slot));
        style.slots[slot] = {true, sections[slot]->GetName(), Layout()[slot]};
    }
    style.csegs = style.document->GetCsegs();
    for (auto _ : state) {
        ByteArray written = BuildStyleBytes(style.Input());
        benchmark::DoNotOptimize(written.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BuildStyleBytesOfHostileStyle)
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
} // namespace korvane

// "korvane_bench --hostile-files DIR" writes the crafted styles into DIR (to time korvane-cli on
// them); anything else runs the benchmarks.
int main(int argc, char** argv) {
    using namespace korvane;
    if (argc == 3 && std::strcmp(argv[1], "--hostile-files") == 0) {
        for (int shape = kLongSdec; shape <= kManyCsegs; ++shape) {
            const ByteArray& bytes = HostileBytes(HostileShape(shape));
            std::ofstream out(std::string(argv[2]) + "/" + kHostileNames[shape] + ".sty",
                              std::ios::binary);
            out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
            if (!out)
                return 1;
        }
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
