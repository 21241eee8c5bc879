// The conversion engine: the plans of each rule, how a plan fills the slots, and the outcome of a
// whole conversion without a window.

#include "assignment/ConversionEngine.h"
#include "assignment/ModelCatalogue.h"

#include "support/StyleBytes.h"
#include "support/StyleGenerator.h"
#include "support/TemporaryFolder.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <tuple>

namespace korvane::testing {
namespace {

const SectionLayout kLayout = {"SInt", "Main A", "Fill In AA", "Main B"};

class ConversionEngineTest : public ::testing::Test {
protected:
    ConversionEngineTest() {
        document.StartNextFile();
        for (const char* name : {"SInt", "Main B", "Main A", "Main A", "Intro C", ""})
            document.AppendSection(name);
    }
    CStyleDocument document;
};

TEST_F(ConversionEngineTest, EachRuleMakesItsPlan) {
    const std::vector<PatternStep> pairs = {
        {"Main A", "Main C"},    // a slot the model lacks: passed over, the later pairs count
        {"Intro B", "SInt"},     // a section the style lacks
        {"Main B", "Main A"},    // the first slot of that name
        {"", ""},                // a free step
        {"Main B", "Fill In AA"} // the same section into a second slot
    };
    const std::vector<std::pair<ConversionPlan, std::vector<PlanStep>>> cases = {
        // The second "Main A" finds its slot taken; "Intro C" and the nameless one have none.
        {PlanByName(document, kLayout), {{0, 0}, {1, 3}, {2, 1}}},
        // Row by row, as far as the layout goes.
        {PlanCopyAll(document, kLayout), {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
        {PlanByNames(document, kLayout, pairs), {{1, 1}, {1, 2}}},
    };
    for (const auto& [plan, steps] : cases) {
        EXPECT_EQ(plan.steps, steps);
        EXPECT_EQ(plan.layout, kLayout);
    }
}

TEST_F(ConversionEngineTest, ALaterStepReplacesTheSectionOfItsSlot) {
    const AssignmentSlots slots = ApplyPlan(document, {kLayout, {{2, 1}, {1, 1}, {3, 0}}});
    EXPECT_EQ(slots[1], (AssignmentSlot{true, "Main B", "Main A"}));
    // A row whose name an earlier section has stands for that first section.
    EXPECT_EQ(slots[0], (AssignmentSlot{true, "Main A", "SInt"}));
    EXPECT_EQ(document.FindHolder(0), document.GetSections()[2]);
    EXPECT_EQ(document.FindHolder(1), document.GetSections()[1]);
    EXPECT_EQ(document.GetAssignedSections().size(), 2u);
    EXPECT_NE(document.GetDestinationProperties(), nullptr);
}

TEST(ConvertStyle, EveryOutcomeOfAWholeConversion) {
    CTemporaryFolder folder;
    StyleGeneratorOptions options;
    options.sectionNames = {"SInt", "Main A"};
    WriteBytes(folder.File("good.sty"), GenerateStyle(options).bytes);
    options.sectionNames = {"Intro Z"};
    WriteBytes(folder.File("nothing.sty"), GenerateStyle(options).bytes);
    WriteBytes(folder.File("text.sty"), T("hello"));
    std::filesystem::create_directory(folder.File("folder.sty"));
    struct Case {
        std::string name;
        Failure failure;
        int errorCode;
        int sections;
    };
    for (const Case& c : std::vector<Case>{{"good.sty", Failure::None, 0, 2},
                                           {"nothing.sty", Failure::NoSectionMatches, 0, 0},
                                           {"text.sty", Failure::NotAStyle, 0, 0},
                                           {"folder.sty", Failure::NotRegularFile, EISDIR, 0},
                                           {"missing.sty", Failure::CannotOpen, ENOENT, 0}}) {
        ConversionRequest request;
        request.path = folder.File(c.name);
        request.layout = kLayout;
        const ConvertedStyle converted = ConvertStyle(request);
        EXPECT_EQ(converted.outcome.failure, c.failure) << c.name;
        EXPECT_EQ(converted.outcome.errorCode, c.errorCode) << c.name;
        EXPECT_EQ(converted.outcome.path, c.failure == Failure::None ? "" : request.path);
        EXPECT_EQ(converted.sections, c.sections) << c.name;
        EXPECT_EQ(converted.bytes.empty(), c.failure != Failure::None) << c.name;
    }
}

ByteArray FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A style in memory converts as korvane-cli converted examples/ballad.sty into the golden file.
TEST(ConvertStyle, BytesInMemoryGiveTheGoldenStyle) {
    ConversionRequest request;
    request.path = "ballad.sty";
    request.bytes = FileBytes(KORVANE_SOURCE_DIR "/examples/ballad.sty");
    request.layout = LayoutOfModel("PSR-540");
    const ConvertedStyle converted = ConvertStyle(request);
    ASSERT_FALSE(converted.outcome) << OutcomeText(converted.outcome);
    const ByteArray golden = FileBytes(KORVANE_SOURCE_DIR "/tests/cli/golden/ballad.PSR-540.sty");
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(converted.bytes, golden);
    EXPECT_EQ(converted.sections, 7);
}

TEST(ConvertStyle, PairsThatMustMatchNameWhatIsMissing) {
    StyleGeneratorOptions options;
    options.sectionNames = {"SInt", "Main A"};
    ConversionRequest request;
    request.path = "in.sty";
    request.bytes = GenerateStyle(options).bytes;
    request.layout = kLayout;
    request.rule = PlanRule::ByNames;
    request.everyPairMatches = true;
    for (const auto& [pairs, failure, name] :
         std::vector<std::tuple<std::vector<PatternStep>, Failure, std::string>>{
             {{{"Main A", "SInt"}, {"Main B", "SInt"}, {"SInt", "Main Z"}},
              Failure::NoSuchSection,
              "Main B"},
             {{{"Main A", "SInt"}, {"SInt", "Main Z"}, {"Main B", "SInt"}},
              Failure::NoSuchSlot,
              "Main Z"}}) {
        request.pairs = pairs;
        const Outcome outcome = ConvertStyle(request).outcome;
        EXPECT_EQ(outcome.failure, failure);
        EXPECT_EQ(outcome.name, name);
        EXPECT_EQ(outcome.path, "in.sty");
    }
    // Without the check the pairs that match are carried out.
    request.everyPairMatches = false;
    EXPECT_EQ(ConvertStyle(request).sections, 1);
}

} // namespace
} // namespace korvane::testing
