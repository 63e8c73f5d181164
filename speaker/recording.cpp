// The recording port layer. See recording.h.
#include "recording.h"

namespace speaker {
namespace recording {
namespace {

struct Record {
    Pit8254 pit;
    PortEvent events[kCapacity];
    std::size_t count = 0;
    std::size_t dropped = 0;
    uint16_t tone = 0;
    int64_t now = 0;
    uint64_t pit_ns = 0;  // virtual time the 8254 has been brought up to
};

Record record;

void log(PortEvent::Kind kind, uint16_t port, uint16_t value) {
    if (record.count == kCapacity) {
        ++record.dropped;
        return;
    }
    record.events[record.count++] = PortEvent{kind, port, value, record.now};
}

// Brings the 8254 up to virtual time.
void catch_up() {
    const auto now = static_cast<uint64_t>(record.now);
    if (now <= record.pit_ns) return;
    record.pit.advance(ticks_in_ns(now) - ticks_in_ns(record.pit_ns));
    record.pit_ns = now;
}

uint8_t in(uint16_t port) {
    catch_up();
    const uint8_t value = record.pit.read(port);
    log(PortEvent::in, port, value);
    return value;
}

void out(uint16_t port, uint8_t value) {
    catch_up();
    record.pit.write(port, value);
    log(PortEvent::out, port, value);
}

void tone(uint16_t hz) {
    record.tone = hz;
    log(PortEvent::tone, 0, hz);
}

const PortLayer kPorts = {"recording", in, out, nullptr, nullptr};
const PortLayer kTone = {"recording-tone", nullptr, nullptr, tone, nullptr};

}  // namespace

const PortLayer& port_layer() { return kPorts; }
const PortLayer& tone_layer() { return kTone; }

void reset() {
    record.pit = Pit8254();
    record.count = 0;
    record.dropped = 0;
    record.tone = 0;
    record.now = 0;
    record.pit_ns = 0;
}

void reset_log() {
    record.count = 0;
    record.dropped = 0;
}

std::size_t size() { return record.count; }
const PortEvent& event(std::size_t i) { return record.events[i]; }
std::size_t dropped() { return record.dropped; }
Pit8254& pit() { return record.pit; }
uint16_t tone_hz() { return record.tone; }
int64_t now_ns() { return record.now; }

void rewind_clock() {
    record.now = 0;
    record.pit_ns = 0;
}

void wait_until_ns(int64_t deadline_ns) {
    if (deadline_ns > record.now) record.now = deadline_ns;
}

}  // namespace recording
}  // namespace speaker
