// The splash command handler: the eleven command words, the colour names and
// the error release, acting on the window only through window_ops.h.
#pragma once

#include <cstdint>

namespace splash {

// Status of its own: the file exists but is not a picture or clip that can be
// read ("BITMAP", "AVI"), or "AVIPLAY" has no clip it can open.
constexpr int32_t kUnreadable = 33;

// Init: creates the window (a repeated Init keeps the existing one).
void startup();
// CommandProc's handler: `word` is the upper-cased, untrimmed command word;
// the further fields are read with plug::next_field().
void command(char* word);
// Unload: destroys the window if there is one.
void unload();

// True when a window exists (for tests).
bool have_window();

// The colour-name table: true and the colour value for one of the 18 names
// (exact, upper-case), false otherwise.
bool color_from_name(const char* name, uint32_t* color);

// True when `path` names an existing file that is not a directory.
bool file_exists(const char* path);

}  // namespace splash
