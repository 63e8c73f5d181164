// Precise blocking waits on the calling thread, shared by the midi and
// speaker plug-ins.
//
// Linux: clock_nanosleep on CLOCK_MONOTONIC with an absolute deadline.
// Windows: a high-resolution waitable timer where the system offers one,
// otherwise a waitable timer with the system timer resolution raised to 1 ms
// (timeBeginPeriod) for the length of the wait; both timed against
// QueryPerformanceCounter.
//
// No exceptions, no heap, no state kept between calls.
#pragma once

#include <cstdint>

namespace timing {

// Monotonic time in nanoseconds from an arbitrary origin.
int64_t now_ns();

// Blocks the calling thread until now_ns() >= deadline_ns. Returns at once if
// the deadline has passed.
void wait_until_ns(int64_t deadline_ns);

// Blocks the calling thread for `ms` milliseconds.
inline void wait_ms(uint32_t ms) {
    wait_until_ns(now_ns() + static_cast<int64_t>(ms) * 1000000);
}

constexpr int64_t kNanosPerMs = 1000000;

}  // namespace timing
