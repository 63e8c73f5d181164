// The splash window's operations: everything the command handler does to the
// window goes through these functions, and nothing else in the handler touches
// the platform. Each platform supplies one implementation (Win32, GTK), and the
// tests and fuzz targets link a recording fake (window_fake.h) instead.
//
// There is at most one window. `window_create` builds it and the other
// operations act on it; the handler never calls them while no window exists.
// An implementation must still make every operation a harmless no-op without a
// window (fallible ones then fail), so that a lost window never crashes.
//
// Colour values are 0x00BBGGRR; a value with the top bit set (0x80000000 plus
// an index) names a colour of the system's colour scheme, the initial colour
// being kClWindow, the window background colour.
//
// Texts (paths) are NUL-terminated 8-bit texts that live only for the call.
#pragma once

#include <cstdint>

namespace splash {

constexpr uint32_t kClWindow = 0x80000005u;

// Initial settings of the window.
constexpr int32_t kInitialLeft = 205;
constexpr int32_t kInitialTop = 107;
constexpr int32_t kInitialWidth = 427;   // client area = outer size (no border)
constexpr int32_t kInitialHeight = 273;
// The OK button as created (moved by the About display before it is shown).
constexpr int32_t kButtonLeft = 344;
constexpr int32_t kButtonTop = 240;
constexpr int32_t kButtonWidth = 75;
constexpr int32_t kButtonHeight = 25;

// ---- the window --------------------------------------------------------------
// Builds a new window, hidden, at 205,107 with a 427 x 273 client area, colour
// kClWindow, no picture, Stretch off, no clip (clip area hidden), the button
// hidden at 344,240 (75 x 25). Returns false when the platform cannot make a
// window at all (no display); there is then no window.
bool window_create();
// Hides the window if it is shown, then frees it with its picture, clip and
// button. Without a window: nothing.
void window_destroy();
// Makes the window visible and brings it to the front; returns at once.
void window_show();
// Makes the window invisible; everything it shows and all settings stay.
void window_hide();
// True while the window is shown.
bool window_visible();

// Each call is one change of position or size of its own; the others stay.
// Values are taken as they are (negative and zero included). Width and height
// are the outer size, equal to the client size. The picture area and the clip
// area always fill the client area.
void window_set_left(int32_t left);
void window_set_top(int32_t top);
void window_set_width(int32_t width);
void window_set_height(int32_t height);
int32_t window_width();
int32_t window_height();

// The window's background colour; the clip area's background follows. The
// picture is not changed.
void window_set_color(uint32_t color);

// ---- the picture area -----------------------------------------------------------
// Reads the file into a new picture, chosen by the extension without regard to
// letter case: bmp, ico (the best-fitting image), wmf (placeable or plain), emf.
// Only a successful read replaces the picture shown; on failure (another
// extension or none, a file that cannot be opened or is no valid picture, a
// picture too large to decode) the previous picture stays and this returns
// false.
bool window_load_picture(const char* path);
// On: the picture is scaled to the whole client area. Off: drawn at its own
// size at the top-left. Redraws at once.
void window_set_stretch(bool on);

// ---- the clip area --------------------------------------------------------------
// Opens an AVI clip and shows its first frame, centred, not playing. A path
// equal to the current one without regard to letter case changes nothing
// (returns true, a running playback goes on). Otherwise a running playback
// stops and the open clip closes first; a file that cannot be opened as a clip
// fails: the previous path stays the setting, no clip is open, false.
bool clip_set_file_name(const char* path);
// Starts looping playback. Nothing happens while it runs. With no clip open,
// the clip named by the current file name is opened first; false when there is
// none or it cannot be opened (playback stays off).
bool clip_set_active();
// Shows or hides the clip area; a running playback goes on either way.
void clip_set_visible(bool visible);

// ---- the OK button ------------------------------------------------------------
int32_t button_width();
int32_t button_height();
// In coordinates of the window's client area.
void button_set_left(int32_t left);
void button_set_top(int32_t top);
void button_show();
void button_hide();

// ---- modal display ----------------------------------------------------------------
// Shows the window (hidden beforehand) in front, with the calling thread's
// other top-level windows disabled, and returns only when the OK button is
// pressed (mouse, or Enter while the window has the keyboard focus). The
// window is then hidden and the other windows enabled again. The window keeps
// being painted meanwhile.
void window_show_modal();

}  // namespace splash
