// A clock that only moves when something waits on it: tests and the fuzz
// target run songs of any length at once, with exact time stamps.
#pragma once

#include <cstdint>

#include "handler.h"
#include "recorder.h"

namespace midi::virtual_clock {

inline int64_t now_value = 0;

inline int64_t now_ns() { return now_value; }
inline void wait_until_ns(int64_t deadline) {
    if (deadline > now_value) now_value = deadline;
}
inline const Clock kClock = {now_ns, wait_until_ns};

// Waits and the recorder's time stamps follow the virtual clock, from 0.
inline void start() {
    now_value = 0;
    recorder::set_clock(now_ns);
    use_clock(&kClock);
}

}  // namespace midi::virtual_clock
