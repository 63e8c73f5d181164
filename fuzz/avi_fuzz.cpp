// The splash clip reader (Linux): arbitrary bytes as an AVI file. An opened
// clip's frames are decoded in order, twice round as the window loops, then
// backwards; every pixel buffer is read whole so ASan sees any short one.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "avi_clip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    splash::AviClip clip;
    // A small pixel budget keeps a header that claims a huge frame cheap.
    if (!clip.open(std::vector<uint8_t>(data, data + size), 512 * 512)) {
        if (clip.is_open() || clip.frame(0) != nullptr) __builtin_trap();
        return 0;
    }
    const uint32_t count = clip.frame_count();
    const std::size_t pixels = std::size_t(clip.width()) * std::size_t(clip.height());
    if (count == 0 || pixels == 0 || pixels > 512 * 512) __builtin_trap();
    if (clip.frame_interval_us() < 10000 || clip.frame_interval_us() > 10000000) __builtin_trap();
    uint32_t sum = 0;
    const uint32_t limit = count < 64 ? count : 64;
    for (int round = 0; round < 2; ++round)
        for (uint32_t i = 0; i < limit; ++i) {
            const uint32_t* px = clip.frame(i);
            if (px == nullptr) __builtin_trap();
            for (std::size_t k = 0; k < pixels; ++k) {
                // Keyed pixels are 0, the others opaque.
                if (px[k] != 0 && (px[k] >> 24) != 0xFF) __builtin_trap();
                sum += px[k];
            }
        }
    for (uint32_t i = limit; i-- > 0;)
        if (clip.frame(i) == nullptr) __builtin_trap();
    if (clip.frame(count) != nullptr) __builtin_trap();
    asm volatile("" : : "r"(sum));  // keep the reads
    return 0;
}
