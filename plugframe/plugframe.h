// plugframe: the frame every plug-in links once.
//
// The frame owns the four exports (StatProc, FuncProc, CommandProc, Init),
// the last status, the block copy with its field cursor, the command frame and
// the shared text operations. A plug-in supplies only what is its own through
// one `plug::Plugin` description named `plug::plugin` (see below).
//
// Everything here is bounded by the block copy: no text the frame hands out
// can be longer than the block size minus one, so callers can use fixed
// buffers of `plug::kMaxBlock` bytes and never touch the heap.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plug {

// Shared status codes.
enum Status : int32_t {
    kOk = 0,
    kFileMissing = -1,       // the named file does not exist
    kNoCommands = 1,         // the plug-in offers no commands
    kEmptyField = 2,         // a required field is empty after trimming
    kNoFunction = 7,         // the plug-in offers no function
    kUnrecognised = 14,      // keyword or value not recognised
    kNotANumber = 25,        // a number was expected
    // Reported by the exports when something goes wrong that no other code
    // names: exhausted memory, an exception or any other internal failure.
    // Kept apart from every code the plug-ins use themselves.
    kInternalFailure = 99,
};

// The largest block size any plug-in uses.
constexpr int32_t kMaxBlock = 512;

// What a plug-in hands to the frame. Hooks may be null where the plug-in has
// nothing to do.
struct Plugin {
    const char* name;        // static, upper-case ASCII, e.g. "HTML"
    int32_t field_count;     // most fields any call reads, command word included
    int32_t block_size;      // bytes of every parameter block, <= kMaxBlock
    // Init step 3: create the start-up objects.
    void (*startup)();
    // Command handler: receives the upper-cased, untrimmed command word (a
    // field inside the block copy, known not to be blank). May set the last
    // status. Null: CommandProc sets status 1 and returns it without reading
    // the block (the html rule).
    void (*command)(char* word);
    // FuncProc body: receives the host's block (at least block_size bytes)
    // and returns the answer text, which must live in plug-in storage. Null:
    // the default function answer (status 7, empty text).
    const char* (*function)(const char* block);
    // Unload step: runs once when the library is unloaded after Init.
    void (*unload)();
};

// Defined by each plug-in (exactly once per library).
extern const Plugin plugin;

// ---- last status --------------------------------------------------------
int32_t last_status();
void set_status(int32_t status);

// ---- host values kept by Init --------------------------------------------
uint32_t first_host_value();
uint32_t second_host_value();

// ---- block copy and field cursor ------------------------------------------
// Copies exactly plugin.block_size bytes of `host_block` into the block copy
// and resets the cursor to 0.
void copy_block(const char* host_block);
// Returns the field at the cursor and moves the cursor past its NUL. Never
// reads outside the block copy: a field with no NUL before the block's end
// ends at the block's end, and every field after it is empty.
char* next_field();
// The block copy itself (block_size bytes, followed by one NUL byte that no
// host data ever overwrites) and the cursor, for tests and benchmarks.
char* block_copy();
int32_t field_cursor();

// ---- text operations --------------------------------------------------------
// A view of a text; not NUL-terminated in general.
struct Text {
    const char* data;
    std::size_t size;
    bool empty() const { return size == 0; }
};

// Drops characters of code 1 to 32 at both ends. The result points into `s`.
Text trim_text(const char* s);
// True when trim_text(s) is empty: the frame's test for an empty field.
bool is_blank(const char* s);
// Upper-cases ASCII a-z where the text lies; returns `s`.
char* upper_in_place(char* s);
// Writes an upper-cased copy of `s` (at most cap-1 characters) to `out`,
// NUL-terminated; returns `out`.
char* upper_copy(const char* s, char* out, std::size_t cap);
// The one integer conversion: decimal (optional sign, +-2147483647) or "$"
// hexadecimal of up to 8 significant digits, after leading spaces only.
// Returns false on a conversion failure and leaves *out untouched.
bool text_to_int(const char* s, int32_t* out);
bool text_to_int(Text s, int32_t* out);

// Exact keyword match: same length, same bytes.
bool same_text(const char* a, const char* b);

// ---- test support -----------------------------------------------------------
// Restores the frame state to what it is at load (status 0, cursor 0, block
// copy zero, host values 0). Tests use it between cases.
void reset_frame_for_tests();

}  // namespace plug

// The four exports, C calling convention, undecorated names.
#if defined(_WIN32)
#define PLUG_EXPORT extern "C" __declspec(dllexport)
#define PLUG_CDECL __cdecl
#else
#define PLUG_EXPORT extern "C" __attribute__((visibility("default")))
#define PLUG_CDECL
#endif

PLUG_EXPORT int32_t PLUG_CDECL StatProc(void);
PLUG_EXPORT const char* PLUG_CDECL FuncProc(const char* block);
PLUG_EXPORT int32_t PLUG_CDECL CommandProc(const char* block);
PLUG_EXPORT const char* PLUG_CDECL Init(uint32_t first, uint32_t second, uint32_t third,
                                        int32_t* field_count, int32_t* block_size);
