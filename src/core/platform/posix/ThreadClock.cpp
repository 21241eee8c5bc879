#include "platform/ThreadClock.h"

#include <pthread.h>
#include <time.h>

namespace korvane {

CThreadClock::CThreadClock(std::thread& thread) {
    clockid_t clock{};
    m_valid = pthread_getcpuclockid(thread.native_handle(), &clock) == 0;
    m_clock = int(clock);
}

std::int64_t CThreadClock::Nanoseconds() const {
    timespec time{};
    if (!m_valid || clock_gettime(clockid_t(m_clock), &time) != 0)
        return -1;
    return std::int64_t(time.tv_sec) * 1000000000 + time.tv_nsec;
}

} // namespace korvane
