// speaker: any sequence of blocks through every export, on the recording
// port layer. Checks what must hold whatever the block says: only the known
// statuses come back, only the timer's ports are touched, the mode byte is
// always 0xB6, and a command other than "ON" that sounded a note leaves the
// speaker silent.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "block_input.h"
#include "handler.h"
#include "plugframe.h"
#include "ports.h"
#include "recording.h"

namespace speaker {
// Instead of the platform's order: the recording layer alone.
namespace {
const PortLayer* open_recording() { return &recording::port_layer(); }
const Candidate kOrder[] = {{"recording", open_recording}};
}  // namespace

const Candidate* platform_order(std::size_t* count) {
    *count = 1;
    return kOrder;
}
}  // namespace speaker

using namespace speaker;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    set_clock(recording::now_ns, recording::wait_until_ns);
    recording::reset();
    plug::reset_frame_for_tests();
    if (size == 0) return 0;
    // The first byte picks the port layer: ports, or a tone device.
    use_port_layer((data[0] & 1) ? &recording::tone_layer() : &recording::port_layer());
    ++data;
    --size;
    int32_t fields = 0, block_size = 0;
    Init(0, 0, 0, &fields, &block_size);
    while (size > 0) {
        const uint8_t selector = fuzz::take_byte(data, size);
        std::vector<char> block = fuzz::take_block(data, size, static_cast<std::size_t>(block_size));
        if (recording::now_ns() > (int64_t{1} << 60)) recording::rewind_clock();
        switch (selector % 4) {
            case 0: {
                const char* answer = FuncProc(block.data());
                if (answer[0] != 0 || StatProc() != 7) __builtin_trap();
                break;
            }
            case 3:
                StatProc();
                break;
            default: {
                recording::reset_log();
                const int32_t status = CommandProc(block.data());
                if (status != 0 && status != 2 && status != 14 && status != 25) __builtin_trap();
                if (StatProc() != status) __builtin_trap();
                bool counted = false;
                for (std::size_t i = 0; i < recording::size(); ++i) {
                    const PortEvent& e = recording::event(i);
                    if (e.kind == PortEvent::tone) {
                        if (e.value != 0 && (e.value < kLowestHz || e.value > kHighestHz)) {
                            __builtin_trap();
                        }
                        if (e.value != 0) counted = true;
                        continue;
                    }
                    if (e.port != 0x42 && e.port != 0x43 && e.port != 0x61) __builtin_trap();
                    if (e.kind == PortEvent::out && e.port == 0x43 && e.value != 0xB6) __builtin_trap();
                    if (e.kind == PortEvent::out && e.port == 0x42) counted = true;
                }
                const bool held = std::strcmp(plug::block_copy(), "ON") == 0;
                const bool silent = recording::pit().sounding() == false && recording::tone_hz() == 0;
                if (counted && !held && !silent) __builtin_trap();
            }
        }
    }
    return 0;
}
