// html: any sequence of blocks through every export.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "block_input.h"
#include "plugframe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    int32_t fields = 0, block_size = 0;
    Init(0, 0, 0, &fields, &block_size);
    while (size > 0) {
        const uint8_t selector = fuzz::take_byte(data, size);
        std::vector<char> block = fuzz::take_block(data, size, static_cast<std::size_t>(block_size));
        switch (selector % 3) {
            case 0: {
                const char* answer = FuncProc(block.data());
                if (std::strlen(answer) > 256) __builtin_trap();
                break;
            }
            case 1:
                if (CommandProc(block.data()) != 1) __builtin_trap();
                break;
            default:
                StatProc();
        }
    }
    return 0;
}
