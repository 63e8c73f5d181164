// Precise waits on Windows, timed against QueryPerformanceCounter.
//
// Where the system offers a high-resolution waitable timer (Windows 10 1803
// and later) the wait uses it directly. Otherwise an ordinary waitable timer
// is used with the system timer resolution raised to 1 ms for the length of
// the wait (timeBeginPeriod / timeEndPeriod, from winmm). Each wait creates
// and closes its own timer, so nothing outlives the call.
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#endif
#include <windows.h>
#include <mmsystem.h>

#include "timing.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace timing {

namespace {

// Read once; every thread that reads it finds the same value, so a plain
// variable serves (a guarded local static would pull the C++ runtime's guard
// and terminate machinery into the DLL).
int64_t frequency = 0;

int64_t counter_frequency() {
    if (frequency == 0) {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);  // never fails on XP and later
        frequency = f.QuadPart > 0 ? f.QuadPart : 1;
    }
    return frequency;
}

}  // namespace

int64_t now_ns() {
    const int64_t f = counter_frequency();
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    const int64_t whole = c.QuadPart / f;
    const int64_t part = c.QuadPart % f;
    return whole * 1000000000 + part * 1000000000 / f;
}

void wait_until_ns(int64_t deadline_ns) {
    int64_t remaining = deadline_ns - now_ns();
    if (remaining <= 0) return;

    bool raised = false;
    HANDLE timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                          TIMER_ALL_ACCESS);
    if (timer == nullptr) {
        raised = timeBeginPeriod(1) == TIMERR_NOERROR;
        timer = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
    }
    if (timer == nullptr) {
        // No timer object at all: plain sleeps in whole milliseconds.
        while ((remaining = deadline_ns - now_ns()) > 0) {
            Sleep(static_cast<DWORD>((remaining + 999999) / 1000000));
        }
    } else {
        while ((remaining = deadline_ns - now_ns()) > 0) {
            LARGE_INTEGER due;
            // Relative due time in units of 100 ns, negative by convention.
            due.QuadPart = -((remaining + 99) / 100);
            if (!SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) {
                Sleep(static_cast<DWORD>((remaining + 999999) / 1000000));
                continue;
            }
            WaitForSingleObject(timer, INFINITE);
        }
        CloseHandle(timer);
    }
    if (raised) timeEndPeriod(1);
}

}  // namespace timing
