// The retry of system calls a signal interrupts.

#include "platform/SystemFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <vector>

namespace korvane::system {
namespace {

// A call that gives its results in turn, each with the errno it leaves.
struct ScriptedCall {
    std::vector<std::pair<long, int>> results;
    std::size_t calls = 0;
    long operator()() {
        const auto [result, code] = results[calls++];
        errno = code;
        return result;
    }
};

TEST(Uninterrupted, AnInterruptedCallIsMadeAgainAndOnlyThen) {
    ScriptedCall interrupted{{{-1, EINTR}, {-1, EINTR}, {5, 0}}};
    EXPECT_EQ(Uninterrupted(std::ref(interrupted)), 5);
    EXPECT_EQ(interrupted.calls, 3u);

    ScriptedCall failed{{{-1, EIO}, {5, 0}}};
    EXPECT_EQ(Uninterrupted(std::ref(failed)), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(failed.calls, 1u);

    // A call that succeeds leaves errno as it was, which may be an earlier EINTR.
    ScriptedCall ended{{{0, EINTR}, {5, 0}}};
    EXPECT_EQ(Uninterrupted(std::ref(ended)), 0);
    EXPECT_EQ(ended.calls, 1u);
}

} // namespace
} // namespace korvane::system
