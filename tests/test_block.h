// Builds a parameter block the way a host does: the fields one after the
// other, each ended by a NUL, in a zero-filled block of `size` bytes.
#pragma once

#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace plugtest {

template <typename Fields>
std::vector<char> make_block(std::size_t size, const Fields& fields) {
    std::vector<char> block(size, 0);
    std::size_t at = 0;
    for (std::string_view f : fields) {
        if (at + f.size() > size) throw std::length_error("fields do not fit the block");
        std::memcpy(block.data() + at, f.data(), f.size());
        at += f.size() + 1;
    }
    return block;
}

inline std::vector<char> make_block(std::size_t size, std::initializer_list<std::string_view> fields) {
    return make_block<std::initializer_list<std::string_view>>(size, fields);
}

}  // namespace plugtest
