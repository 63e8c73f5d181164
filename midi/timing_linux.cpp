// Precise waits on Linux: absolute sleeps on the monotonic clock.
#include "timing.h"

#include <cerrno>
#include <ctime>

namespace timing {

int64_t now_ns() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void wait_until_ns(int64_t deadline_ns) {
    if (deadline_ns <= now_ns()) return;
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(deadline_ns / 1000000000);
    ts.tv_nsec = static_cast<long>(deadline_ns % 1000000000);
    // An absolute deadline: a signal that interrupts the sleep does not
    // stretch it, the sleep simply goes on to the same instant.
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

}  // namespace timing
