// The midi plug-in's command handler: device handling, channel, instrument
// and velocity, and the voice that the note notation drives.
#pragma once

#include <cstdint>

#include "output.h"

namespace midi {

struct Settings {
    uint8_t channel = 0;
    uint8_t velocity = 127;
    uint8_t instrument = 0;
    bool open = false;
    Handle handle = 0;  // meaningful only while open
};

// Plug-in hooks.
void startup();
void command(char* word);
void unload();

// ---- for tests, benchmarks and fuzz targets --------------------------------
const Settings& settings();
// Settings back to their values at load; the output back to system_output();
// the clock back to the monotonic clock.
void reset_for_tests();
// The output the handler uses from now on (nullptr: system_output()).
void use_output(const Output* output);
// The clock of every wait (nullptr: the precise clock of timing.h).
struct Clock {
    int64_t (*now_ns)();
    void (*wait_until_ns)(int64_t deadline_ns);
};
void use_clock(const Clock* clock);

}  // namespace midi
