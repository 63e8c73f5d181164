// The html plug-in: no commands, one function that strips tags.
#include <cstring>

#include "plugframe.h"
#include "strip_tags.h"

namespace html {
namespace {

constexpr int32_t kBlockSize = 256;

unsigned char inside_tag = 0;
// A field that runs to the block's end (no NUL in the block) is 256 long.
char result[kBlockSize + 1];
// The answer to a blank text, which leaves the result buffer as it was.
const char kEmptyAnswer[1] = {0};

}  // namespace

unsigned char& inside_tag_flag() { return inside_tag; }

std::size_t strip_tags(const char* text, unsigned char* flag, char* out) {
    unsigned char in_tag = *flag;
    std::size_t kept = 0;
    for (const char* p = text; *p != 0; ++p) {
        const char c = *p;
        if (c == '<') {
            in_tag = 1;
        } else if (c == '>') {
            in_tag = 0;
        } else if (in_tag == 0) {
            out[kept++] = c;
        }
    }
    out[kept] = 0;
    *flag = in_tag;
    return kept;
}

const char* strip_function(const char* block) {
    plug::copy_block(block);
    const char* text = plug::next_field();
    if (plug::is_blank(text)) {
        return kEmptyAnswer;
    }
    const char* continuation = plug::next_field();
    if (plug::is_blank(continuation)) inside_tag = 0;
    strip_tags(text, &inside_tag, result);
    return result;
}

}  // namespace html

namespace plug {
const Plugin plugin = {
    "HTML", 2, html::kBlockSize,
    nullptr,               // no start-up objects
    nullptr,               // no commands: CommandProc answers 1
    html::strip_function,  // FuncProc
    nullptr,               // nothing to do at unload
};
}  // namespace plug
