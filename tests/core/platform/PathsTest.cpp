// Names Windows would take for something else, and the form of a path its file calls are given.

#include "platform/Paths.h"

#include <gtest/gtest.h>
#ifdef _WIN32
#include "platform/windows/WideText.h"
#endif

namespace korvane {
namespace {

TEST(PathsTest, DeviceNamesAndTrailingDotsOrBlanksAreTold) {
    const struct {
        const char* name;
        FileNameProblem problem;
    } cases[] = {
        {"nul.sty", FileNameProblem::ReservedDeviceName},
        {"aux.PRS", FileNameProblem::ReservedDeviceName},
        {"com1.STY", FileNameProblem::ReservedDeviceName},
        {"Lpt9", FileNameProblem::ReservedDeviceName},
        {"con .sty", FileNameProblem::ReservedDeviceName},
        {"CONIN$.sty", FileNameProblem::ReservedDeviceName},
        {"LPT\xC2\xB9.sty", FileNameProblem::ReservedDeviceName},
        {"com0.sty", FileNameProblem::None},
        {"com10.sty", FileNameProblem::None},
        {"console.sty", FileNameProblem::None},
        {"pop.sty", FileNameProblem::None}, // three letters, none a device's in any case
        {"nul-mix.sty", FileNameProblem::None},
        {"a.sty.", FileNameProblem::TrailingDotOrBlank},
        {"d .", FileNameProblem::TrailingDotOrBlank},
        {"b.sty ", FileNameProblem::TrailingDotOrBlank},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WindowsNameProblem(c.name), c.problem) << c.name;
}

#ifdef _WIN32
TEST(PathsTest, FullPathsTakeThePrefixWhenLong) {
    const std::string folder(250, 'f');
    EXPECT_EQ(system::SystemPathOf("C:\\x\\b.sty"), L"C:\\x\\b.sty");
    EXPECT_EQ(system::SystemPathOf("C:/x/../y/b.sty"), L"C:\\y\\b.sty");
    EXPECT_EQ(system::SystemPathOf("C:\\" + folder), L"\\\\?\\C:\\" + std::wstring(250, L'f'));
    EXPECT_EQ(system::SystemPathOf("\\\\host\\share\\" + folder),
              L"\\\\?\\UNC\\host\\share\\" + std::wstring(250, L'f'));
}
#endif

} // namespace
} // namespace korvane
