// Turns fuzzer input into exactly one block of `size` bytes on the heap, so
// that any read past the block is caught by ASan. The block holds whatever
// the fuzzer chose: any bytes, no NUL at all, short or long fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace fuzz {

// The next input byte (size must not be 0).
inline uint8_t take_byte(const uint8_t*& data, std::size_t& size) {
    const uint8_t byte = data[0];
    ++data;
    --size;
    return byte;
}

inline std::vector<char> take_block(const uint8_t*& data, std::size_t& size, std::size_t block) {
    std::vector<char> out(block, 0);
    std::size_t n = size < block ? size : block;
    std::memcpy(out.data(), data, n);
    data += n;
    size -= n;
    return out;
}

}  // namespace fuzz
