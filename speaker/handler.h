// The speaker's command handler: "SONG", "ON", "OFF", "R" and the timed
// note, played through tone_on / tone_off.
#pragma once

#include <cstdint>

namespace speaker {

// Handles one command word (upper-cased, untrimmed, not blank) whose
// argument fields follow in the block copy.
void command(char* word);

// The clock the notes, rests and songs wait on: the precise monotonic clock
// by default. Tests, fuzz targets and benchmarks put a virtual one in its
// place; null pointers restore the default.
using NowFn = int64_t (*)();
using WaitUntilFn = void (*)(int64_t deadline_ns);
void set_clock(NowFn now, WaitUntilFn wait_until);

}  // namespace speaker
