#include "commands.h"

#include "plugframe.h"
#include "window_ops.h"

namespace splash {
namespace {

// The window reference: whether window_create made the one window that the
// operations act on.
bool g_window = false;

struct ColorName {
    const char* name;
    uint32_t value;  // 0x00BBGGRR
};

const ColorName kColors[] = {
    {"AQUA", 0x00FFFF00},   {"BLACK", 0x00000000},  {"BLUE", 0x00FF0000},
    {"DKGRAY", 0x00808080}, {"FUCHSIA", 0x00FF00FF}, {"GRAY", 0x00808080},
    {"GREEN", 0x00008000},  {"LIME", 0x0000FF00},   {"LTGRAY", 0x00C0C0C0},
    {"MAROON", 0x00000080}, {"NAVY", 0x00800000},   {"OLIVE", 0x00008080},
    {"PURPLE", 0x00800080}, {"RED", 0x000000FF},    {"SILVER", 0x00C0C0C0},
    {"TEAL", 0x00808000},   {"WHITE", 0x00FFFFFF},  {"YELLOW", 0x0000FFFF},
};

// The window the command acts on. After the error release there is none; the
// next command that needs one gets a fresh window, made as Init makes it.
bool need_window() {
    if (!g_window) g_window = window_create();
    if (!g_window) plug::set_status(plug::kInternalFailure);
    return g_window;
}

void release_window() {
    if (!g_window) return;
    window_destroy();
    g_window = false;
}

void bitmap_command() {
    const char* path = plug::next_field();
    if (!file_exists(path)) {
        plug::set_status(plug::kFileMissing);
        return;
    }
    if (!need_window()) return;
    if (!window_load_picture(path)) plug::set_status(kUnreadable);
}

void avi_command() {
    const char* path = plug::next_field();
    if (!file_exists(path)) {
        plug::set_status(plug::kFileMissing);
        return;
    }
    if (!need_window()) return;
    if (!clip_set_file_name(path)) plug::set_status(kUnreadable);
}

// Returns false (status 25 set) when a number does not convert; the window is
// touched only after all four converted.
bool size_command() {
    int32_t values[4];
    for (int32_t& value : values) {
        if (!plug::text_to_int(plug::next_field(), &value)) {
            plug::set_status(plug::kNotANumber);
            return false;
        }
    }
    if (!need_window()) return true;
    window_set_left(values[0]);
    window_set_top(values[1]);
    window_set_width(values[2]);
    window_set_height(values[3]);
    return true;
}

void color_command() {
    const char* name = plug::upper_in_place(plug::next_field());
    uint32_t color = 0;
    if (!color_from_name(name, &color)) {
        plug::set_status(plug::kUnrecognised);
        return;
    }
    if (need_window()) window_set_color(color);
}

// The button's place 10 pixels in from the window's far edge. Any window size
// may have been set, so this wraps around in 32 bits like the sizes do.
int32_t inset(int32_t window_size, int32_t button_size) {
    return static_cast<int32_t>(static_cast<uint32_t>(window_size) -
                                static_cast<uint32_t>(button_size) - 10u);
}

void about_command() {
    if (!need_window()) return;
    if (window_visible()) window_hide();
    button_set_left(inset(window_width(), button_width()));
    button_set_top(inset(window_height(), button_height()));
    button_show();
    window_show_modal();
    button_hide();
}

// Runs the command; false for an early return that skips the error release.
bool dispatch(const char* word) {
    if (plug::same_text(word, "BITMAP")) {
        bitmap_command();
    } else if (plug::same_text(word, "SHOW")) {
        if (need_window()) window_show();
    } else if (plug::same_text(word, "HIDE")) {
        if (need_window()) window_hide();
    } else if (plug::same_text(word, "SIZE")) {
        return size_command();
    } else if (plug::same_text(word, "STRETCH")) {
        const bool on = !plug::is_blank(plug::next_field());
        if (need_window()) window_set_stretch(on);
    } else if (plug::same_text(word, "AVI")) {
        avi_command();
    } else if (plug::same_text(word, "AVIPLAY")) {
        if (need_window() && !clip_set_active()) plug::set_status(kUnreadable);
    } else if (plug::same_text(word, "AVIHIDE")) {
        if (need_window()) clip_set_visible(false);
    } else if (plug::same_text(word, "AVISHOW")) {
        if (need_window()) clip_set_visible(true);
    } else if (plug::same_text(word, "COLOR")) {
        color_command();
    } else if (plug::same_text(word, "ABOUT")) {
        about_command();
    } else {
        plug::set_status(plug::kUnrecognised);
    }
    return true;
}

}  // namespace

bool color_from_name(const char* name, uint32_t* color) {
    for (const ColorName& entry : kColors) {
        if (plug::same_text(name, entry.name)) {
            *color = entry.value;
            return true;
        }
    }
    return false;
}

bool have_window() { return g_window; }

void startup() {
    if (!g_window) g_window = window_create();
}

void command(char* word) {
    if (!dispatch(word)) return;
    // The error release: an unrecognised word or colour name (14) gives the
    // window up. A missing file (-1) and an unreadable one (33) keep it.
    const int32_t status = plug::last_status();
    if (status != plug::kOk && status != plug::kFileMissing && status != kUnreadable) {
        release_window();
    }
}

void unload() { release_window(); }

}  // namespace splash
