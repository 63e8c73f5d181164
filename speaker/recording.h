// A recording port layer for tests, fuzz targets and benchmarks: every port
// access and tone is logged with the time of a virtual clock, and the ports
// behave as the emulated 8254 and port 0x61 at that time. Also available as
// a tone device, to exercise tone_on / tone_off's other path.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pit8254.h"
#include "ports.h"

namespace speaker {

struct PortEvent {
    enum Kind : uint8_t { in, out, tone } kind;
    uint16_t port;   // 0 for tone events
    uint16_t value;  // byte read or written, or the tone's frequency
    int64_t at_ns;   // virtual time of the access
};

namespace recording {

constexpr std::size_t kCapacity = 4096;

// The two layers; both log into the same record.
const PortLayer& port_layer();
const PortLayer& tone_layer();

// Back to a fresh 8254, an empty log and virtual time 0.
void reset();
// Empties the log only: the 8254 and the time go on as they are.
void reset_log();

std::size_t size();
const PortEvent& event(std::size_t i);
// Events beyond kCapacity are counted but not kept.
std::size_t dropped();

Pit8254& pit();
// The tone device's current frequency (0: silent).
uint16_t tone_hz();

// The virtual clock; waiting moves it on at once. Hand these to
// speaker::set_clock.
int64_t now_ns();
void wait_until_ns(int64_t deadline_ns);
// Puts the virtual clock back to 0 without touching the 8254 (long fuzz
// runs would otherwise count past what 64 bits of nanoseconds hold).
void rewind_clock();

}  // namespace recording
}  // namespace speaker
