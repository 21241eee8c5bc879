// The keyboard models and the section layouts their destination columns show.

#include "assignment/ModelCatalogue.h"

#include <gtest/gtest.h>

namespace korvane::testing {
namespace {

TEST(ModelCatalogueTest, ThirteenModelsInTheirFixedOrder) {
    EXPECT_EQ(ModelNames(),
              (std::vector<std::string>{"PSR-9000", "PSR-8000", "PSR-7000", "PSR-6000", "PSR-4000",
                                        "PSR-740", "PSR-640", "PSR-540", "PSR-340", "PSR-730",
                                        "PSR-630", "PSR-530", "PSR-330"}));
    EXPECT_EQ(ModelCatalogueText(), "PSR-9000\nPSR-8000\nPSR-7000\nPSR-6000\nPSR-4000\nPSR-740\n"
                                    "PSR-640\nPSR-540\nPSR-340\nPSR-730\nPSR-630\nPSR-530\n"
                                    "PSR-330\n");
    EXPECT_EQ(ModelIndex("PSR-540"), 7);
    EXPECT_EQ(ModelIndex("psr-540"), -1);
}

TEST(ModelCatalogueTest, EachModelHasItsLayout) {
    EXPECT_EQ(
        LayoutOfModel("PSR-9000"),
        (std::vector<std::string>{"SInt", "Main A", "Fill In AA", "Intro A", "Ending A", "Main B",
                                  "Fill In BB", "Fill In BA", "Intro B", "Ending B", "Main C",
                                  "Fill In CC", "Intro C", "Ending C", "Main D", "Fill In DD"}));
    const std::vector<std::string> thirteen = {
        "SInt",    "Main A",   "Fill In AA", "Intro A",    "Ending A", "Main B",    "Fill In BB",
        "Intro B", "Ending B", "Main C",     "Fill In CC", "Main D",   "Fill In DD"};
    EXPECT_EQ(LayoutOfModel("PSR-740"), thirteen);
    EXPECT_EQ(LayoutOfModel("PSR-640"), thirteen);
    EXPECT_EQ(LayoutOfModel("PSR-540"),
              (std::vector<std::string>{"SInt", "Main A", "Fill In AA", "Main B", "Fill In BB",
                                        "Intro B", "Ending B"}));
    const std::vector<std::string> eleven = {"SInt",       "Main A",   "Fill In AA", "Fill In AB",
                                             "Intro A",    "Ending A", "Main B",     "Fill In BB",
                                             "Fill In BA", "Intro B",  "Ending B"};
    for (const char* model : {"PSR-8000", "PSR-7000", "PSR-6000", "PSR-4000", "PSR-340", "PSR-730",
                              "PSR-630", "PSR-530", "PSR-330", "", "PSR-9000 "})
        EXPECT_EQ(LayoutOfModel(model), eleven) << model;
}

} // namespace
} // namespace korvane::testing
