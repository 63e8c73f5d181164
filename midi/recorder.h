// A MIDI output that records every call, in order, with the time it was
// made. Tests drive the command handler against it; on Linux it can also be
// chosen as the system's output, writing each call to a file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "output.h"

namespace midi::recorder {

enum class Kind : uint8_t { open, message, reset, close };

struct Event {
    Kind kind;
    uint32_t message;  // the short message; 0 for the other kinds
    int64_t time_ns;   // from the recorder's clock
};

constexpr std::size_t kCapacity = 4096;

const Output& output();

// Forgets every event, sets the results back to 0 and the clock back to the
// monotonic clock, and stops writing to a file.
void clear();

// The results that open and close answer from now on.
void set_results(uint32_t open_result, uint32_t close_result);

// The clock used for the time stamps (tests pass their virtual clock).
void set_clock(int64_t (*now_ns)());

// Events recorded so far (at most kCapacity; later ones are counted in
// dropped()).
std::size_t count();
const Event& event(std::size_t index);
std::size_t dropped();

// Appends one line per call to `path` from now on: "open", "close", "reset"
// or "msg XX YY ZZ" (hex bytes), each after the milliseconds since the
// recorder's first open. False when the file cannot be opened.
bool log_to(const char* path);

}  // namespace midi::recorder
