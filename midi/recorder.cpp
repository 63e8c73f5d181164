#include "recorder.h"

#include <cstdio>

#include "timing.h"

namespace midi::recorder {

namespace {

// Kept apart from the rest so that it stays in zero-initialised storage.
Event events[kCapacity];

struct State {
    std::size_t count = 0;
    std::size_t dropped = 0;
    uint32_t open_result = kResultOk;
    uint32_t close_result = kResultOk;
    int64_t (*now_ns)() = timing::now_ns;
    std::FILE* log = nullptr;
    int64_t log_origin = -1;
};

State state;

void record(Kind kind, uint32_t message) {
    const int64_t now = state.now_ns();
    if (state.count < kCapacity) {
        events[state.count++] = Event{kind, message, now};
    } else {
        ++state.dropped;
    }
    if (state.log == nullptr) return;
    if (state.log_origin < 0) state.log_origin = now;
    const auto ms = static_cast<long long>((now - state.log_origin) / timing::kNanosPerMs);
    switch (kind) {
        case Kind::open: std::fprintf(state.log, "%lld open\n", ms); break;
        case Kind::close: std::fprintf(state.log, "%lld close\n", ms); break;
        case Kind::reset: std::fprintf(state.log, "%lld reset\n", ms); break;
        case Kind::message:
            std::fprintf(state.log, "%lld msg %02X %02X %02X\n", ms, message & 0xFFu,
                         message >> 8 & 0xFFu, message >> 16 & 0xFFu);
            break;
    }
    std::fflush(state.log);
}

// The one device this output offers.
constexpr Handle kDevice = 1;

uint32_t open(Handle* handle, uintptr_t) {
    record(Kind::open, 0);
    if (state.open_result == kResultOk) *handle = kDevice;
    return state.open_result;
}

uint32_t short_msg(Handle, uint32_t message) {
    record(Kind::message, message);
    return kResultOk;
}

uint32_t reset(Handle) {
    record(Kind::reset, 0);
    return kResultOk;
}

uint32_t close(Handle) {
    record(Kind::close, 0);
    return state.close_result;
}

const Output kOutput = {open, short_msg, reset, close};

}  // namespace

const Output& output() { return kOutput; }

void clear() {
    if (state.log != nullptr) std::fclose(state.log);
    state.log = nullptr;
    state.log_origin = -1;
    state.count = 0;
    state.dropped = 0;
    state.open_result = kResultOk;
    state.close_result = kResultOk;
    state.now_ns = timing::now_ns;
}

void set_results(uint32_t open_result, uint32_t close_result) {
    state.open_result = open_result;
    state.close_result = close_result;
}

void set_clock(int64_t (*now_ns)()) { state.now_ns = now_ns != nullptr ? now_ns : timing::now_ns; }

std::size_t count() { return state.count; }
const Event& event(std::size_t index) { return events[index]; }
std::size_t dropped() { return state.dropped; }

bool log_to(const char* path) {
    if (state.log != nullptr) std::fclose(state.log);
    state.log = std::fopen(path, "a");
    return state.log != nullptr;
}

}  // namespace midi::recorder
