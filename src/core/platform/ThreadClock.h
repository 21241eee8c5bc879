#pragma once

#include <cstdint>
#include <thread>

namespace korvane {

// The processor time a thread has used, read from another thread: how a watcher tells a thread
// that works slowly from one that is stuck. Taken from a thread before it is detached. (POSIX
// systems, where audition is built.)
class CThreadClock {
public:
    CThreadClock() = default;
    explicit CThreadClock(std::thread& thread);
    // Nanoseconds the thread has used; -1 when that cannot be read (it has ended, or no thread).
    std::int64_t Nanoseconds() const;

private:
    bool m_valid = false;
    int m_clock = 0;
};

} // namespace korvane
