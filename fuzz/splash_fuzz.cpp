// splash: any sequence of blocks through the exports (window operations
// recorded by the fake), and the same bytes read as each picture format and
// as the start of a clip.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "block_input.h"
#include "picture_formats.h"
#include "plugframe.h"
#include "window_fake.h"

namespace {

void parse_all(const uint8_t* data, std::size_t size) {
    // An exact-size heap copy, so that any read past the end is caught.
    std::vector<unsigned char> copy(data, data + size);
    const unsigned char* p = copy.empty() ? nullptr : copy.data();
    splash::BitmapLayout bitmap;
    if (splash::parse_bitmap(p, size, bitmap)) {
        if (bitmap.bits_offset + bitmap.bits_size > size) __builtin_trap();
        if (static_cast<uint64_t>(bitmap.width) * bitmap.height > splash::kMaxPicturePixels) {
            __builtin_trap();
        }
    }
    splash::IconChoice icon;
    if (splash::choose_icon(p, size, 32, 32, icon) && icon.offset + icon.size > size) {
        __builtin_trap();
    }
    splash::MetafileLayout wmf;
    if (splash::parse_wmf(p, size, wmf) && wmf.offset + wmf.length > size) __builtin_trap();
    int32_t w = 0, h = 0;
    splash::parse_emf(p, size, w, h);
    splash::avi_clip_playable(p, size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    parse_all(data, size);
    splash::fake::reset();
    int32_t fields = 0, block_size = 0;
    Init(0, 0, 0, &fields, &block_size);
    while (size > 0) {
        const uint8_t selector = fuzz::take_byte(data, size);
        std::vector<char> block = fuzz::take_block(data, size, static_cast<std::size_t>(block_size));
        switch (selector % 3) {
            case 0:
                if (FuncProc(block.data())[0] != 0) __builtin_trap();
                break;
            case 1: {
                const int32_t status = CommandProc(block.data());
                if (status != StatProc()) __builtin_trap();
                if (status != 0 && status != -1 && status != 2 && status != 14 && status != 25 &&
                    status != 33) {
                    __builtin_trap();
                }
                break;
            }
            default:
                StatProc();
        }
    }
    return 0;
}
