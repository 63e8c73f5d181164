// Tag stripping: drops every "<" ... ">" run of a text, carrying an open tag
// over from one call to the next through `inside_tag`.
#pragma once

#include <cstddef>

namespace html {

// Copies the kept characters of `text` (NUL-terminated) to `out`, which must
// hold at least strlen(text) + 1 bytes, NUL-terminates it and returns the
// number of characters kept. `inside_tag` is read at the start and left as the
// scan ended.
std::size_t strip_tags(const char* text, unsigned char* inside_tag, char* out);

// The FuncProc body: block of 256 bytes in, stripped text out (plug-in owned).
const char* strip_function(const char* block);

// The inside-tag flag, for tests.
unsigned char& inside_tag_flag();

}  // namespace html
