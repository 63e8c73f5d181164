// The frame: module state, the four exports and the shared text operations.
#include "plugframe.h"

#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace plug {
namespace {

// Module state, all zero at load. The block copy has one spare byte that is
// always NUL, so a field that runs to the block's end is still terminated.
struct FrameState {
    uint32_t first_host_value;
    uint32_t second_host_value;
    int32_t cursor;
    int32_t last_status;
    bool initialised;
    char block[kMaxBlock + 1];
};

FrameState state;

const char kEmptyAnswer[1] = {0};

int32_t block_size() {
    int32_t size = plugin.block_size;
    if (size < 1) return 1;
    if (size > kMaxBlock) return kMaxBlock;
    return size;
}

inline bool is_trimmed(unsigned char c) { return c >= 1 && c <= 32; }

}  // namespace

int32_t last_status() { return state.last_status; }
void set_status(int32_t status) { state.last_status = status; }
uint32_t first_host_value() { return state.first_host_value; }
uint32_t second_host_value() { return state.second_host_value; }
char* block_copy() { return state.block; }
int32_t field_cursor() { return state.cursor; }

void copy_block(const char* host_block) {
    std::memcpy(state.block, host_block, static_cast<std::size_t>(block_size()));
    state.cursor = 0;
}

char* next_field() {
    const int32_t size = block_size();
    int32_t pos = state.cursor;
    if (pos < 0 || pos >= size) {
        // Past the end of the block: an empty field, cursor stays put.
        state.cursor = size;
        return state.block + size;  // the spare NUL byte
    }
    char* field = state.block + pos;
    const void* nul = std::memchr(field, 0, static_cast<std::size_t>(size - pos));
    if (nul == nullptr) {
        // No NUL before the block's end: the field ends there.
        state.cursor = size;
    } else {
        state.cursor = static_cast<int32_t>(static_cast<const char*>(nul) - state.block) + 1;
    }
    return field;
}

Text trim_text(const char* s) {
    std::size_t len = std::strlen(s);
    std::size_t begin = 0;
    while (begin < len && is_trimmed(static_cast<unsigned char>(s[begin]))) ++begin;
    while (len > begin && is_trimmed(static_cast<unsigned char>(s[len - 1]))) --len;
    return Text{s + begin, len - begin};
}

bool is_blank(const char* s) {
    for (; *s != 0; ++s) {
        if (!is_trimmed(static_cast<unsigned char>(*s))) return false;
    }
    return true;
}

char* upper_in_place(char* s) {
    for (char* p = s; *p != 0; ++p) {
        if (*p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 32);
    }
    return s;
}

char* upper_copy(const char* s, char* out, std::size_t cap) {
    if (cap == 0) return out;
    std::size_t i = 0;
    for (; i + 1 < cap && s[i] != 0; ++i) {
        char c = s[i];
        out[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    }
    out[i] = 0;
    return out;
}

bool text_to_int(Text s, int32_t* out) {
    std::size_t i = 0;
    if (s.size == 0) return false;
    while (i < s.size && s.data[i] == ' ') ++i;
    if (i == s.size) return false;
    if (s.data[i] == '$') {
        ++i;
        if (i == s.size) return false;
        uint32_t value = 0;
        int significant = 0;
        for (; i < s.size; ++i) {
            char c = s.data[i];
            uint32_t digit;
            if (c >= '0' && c <= '9') digit = static_cast<uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f') digit = static_cast<uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F') digit = static_cast<uint32_t>(c - 'A' + 10);
            else return false;
            if (significant > 0 || digit != 0) ++significant;
            if (significant > 8) return false;
            value = (value << 4) | digit;
        }
        *out = static_cast<int32_t>(value);
        return true;
    }
    bool negative = false;
    if (s.data[i] == '+' || s.data[i] == '-') {
        negative = s.data[i] == '-';
        ++i;
    }
    if (i == s.size) return false;
    int64_t value = 0;
    for (; i < s.size; ++i) {
        char c = s.data[i];
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
        if (value > 2147483647) return false;
    }
    *out = static_cast<int32_t>(negative ? -value : value);
    return true;
}

bool text_to_int(const char* s, int32_t* out) {
    return text_to_int(Text{s, std::strlen(s)}, out);
}

bool same_text(const char* a, const char* b) { return std::strcmp(a, b) == 0; }

void reset_frame_for_tests() { std::memset(&state, 0, sizeof state); }

namespace {

int32_t command_proc(const char* block) {
    state.last_status = kOk;
    if (plugin.command == nullptr) {
        state.last_status = kNoCommands;
        return state.last_status;
    }
    copy_block(block);
    char* word = upper_in_place(next_field());
    if (is_blank(word)) {
        state.last_status = kEmptyField;
        return state.last_status;
    }
    plugin.command(word);
    return state.last_status;
}

const char* func_proc(const char* block) {
    if (plugin.function == nullptr) {
        state.last_status = kNoFunction;
        return kEmptyAnswer;
    }
    const char* answer = plugin.function(block);
    return answer != nullptr ? answer : kEmptyAnswer;
}

void run_unload() {
    if (!state.initialised) return;
    state.initialised = false;
    if (plugin.unload != nullptr) plugin.unload();
}

}  // namespace
}  // namespace plug

// ---- the exports --------------------------------------------------------------
// No exception may leave an export. Plug-ins built without exceptions cannot
// raise one; the others are caught here and reported as kInternalFailure.
#if defined(__cpp_exceptions)
#define PLUG_TRY try {
#define PLUG_CATCH(on_failure) \
    }                          \
    catch (...) { on_failure; }
#else
#define PLUG_TRY {
#define PLUG_CATCH(on_failure) }
#endif

PLUG_EXPORT int32_t PLUG_CDECL StatProc(void) { return plug::state.last_status; }

PLUG_EXPORT const char* PLUG_CDECL FuncProc(const char* block) {
    PLUG_TRY
    return plug::func_proc(block);
    PLUG_CATCH(plug::state.last_status = plug::kInternalFailure; return plug::kEmptyAnswer)
}

PLUG_EXPORT int32_t PLUG_CDECL CommandProc(const char* block) {
    PLUG_TRY
    return plug::command_proc(block);
    PLUG_CATCH(plug::state.last_status = plug::kInternalFailure; return plug::state.last_status)
}

PLUG_EXPORT const char* PLUG_CDECL Init(uint32_t first, uint32_t second, uint32_t /*third*/,
                                        int32_t* field_count, int32_t* block_size) {
    plug::state.first_host_value = first;
    plug::state.second_host_value = second;
    *field_count = plug::plugin.field_count;
    *block_size = plug::plugin.block_size;
    PLUG_TRY
    if (plug::plugin.startup != nullptr) plug::plugin.startup();
    PLUG_CATCH((void)0)
    plug::state.initialised = true;
    return plug::plugin.name;
}

// ---- unload -------------------------------------------------------------------
#if defined(_WIN32)
// FreeLibrary runs the unload step here. When the whole process is ending
// (reserved != NULL) other threads are gone and other DLLs may already be
// detached, so nothing is done then: the system reclaims everything.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        PLUG_TRY
        plug::run_unload();
        PLUG_CATCH((void)0)
    }
    return TRUE;
}
#else
__attribute__((destructor)) static void plug_unload_library() {
    PLUG_TRY
    plug::run_unload();
    PLUG_CATCH((void)0)
}
#endif
