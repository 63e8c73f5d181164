// midi: any sequence of commands through the exports, against the recording
// MIDI output on a virtual clock (no real waits, no device). Checks that only
// well-formed channel messages go out and that every status is one the
// plug-in defines.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "block_input.h"
#include "handler.h"
#include "plugframe.h"
#include "recorder.h"
#include "virtual_clock.h"

// The fuzz target never reaches a system output.
const midi::Output& midi::system_output() { return midi::recorder::output(); }

namespace {

const char* const kWords[] = {"OPEN", "CLOSE", "SONG", "ON", "OFF", "INSTRUMENT",
                              "VELOCITY", "CHANNEL", "R"};
constexpr std::size_t kWordCount = sizeof kWords / sizeof kWords[0];

bool known_status(int32_t s) { return s == 0 || s == 2 || s == 7 || s == 14 || s == 25 || (s >= 33 && s <= 36); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    plug::reset_frame_for_tests();
    midi::reset_for_tests();
    midi::recorder::clear();
    midi::virtual_clock::start();
    int32_t fields = 0, block_size = 0;
    Init(0, 0, 0, &fields, &block_size);
    while (size > 0) {
        const uint8_t selector = fuzz::take_byte(data, size);
        // Some commands open the device or change its answers first.
        if (selector & 0x80) midi::recorder::set_results(selector & 0x40 ? 68u : 0u, selector & 0x20 ? 7u : 0u);
        std::vector<char> block = fuzz::take_block(data, size, static_cast<std::size_t>(block_size));
        const std::size_t word = selector % (kWordCount + 2);
        if (word < kWordCount) {
            // A keyword, then the fuzzer's bytes as its fields.
            const std::size_t n = std::strlen(kWords[word]);
            std::memmove(block.data() + n + 1, block.data(), block.size() - n - 1);
            std::memcpy(block.data(), kWords[word], n);
            block[n] = 0;
        }
        const int32_t status = (word == kWordCount + 1) ? (FuncProc(block.data()), StatProc())
                                                        : CommandProc(block.data());
        if (status != StatProc() || !known_status(status)) __builtin_trap();
    }
    for (std::size_t i = 0; i < midi::recorder::count(); ++i) {
        const auto& e = midi::recorder::event(i);
        if (e.kind != midi::recorder::Kind::message) continue;
        const uint32_t kind = e.message & 0xF0;
        if (kind != 0xC0 && kind != 0x90) __builtin_trap();
        if ((e.message >> 8 & 0x80) != 0 || (e.message >> 16 & 0x80) != 0 || (e.message >> 24) != 0) {
            __builtin_trap();
        }
    }
    midi::unload();
    return 0;
}
