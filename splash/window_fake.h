// A recording implementation of the window operations for tests and fuzz
// targets: it keeps the window's state in plain fields, records every call as
// one line of text, never sleeps and touches no system.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace splash::fake {

struct Window {
    bool exists = false;
    bool visible = false;
    int32_t left = 0, top = 0, width = 0, height = 0;
    uint32_t color = 0;
    std::string picture;  // path of the picture shown, "" for none
    bool stretch = false;
    std::string clip_file;  // the clip FileName setting
    bool clip_open = false;
    bool clip_playing = false;
    bool clip_visible = false;
    int32_t button_left = 0, button_top = 0;
    bool button_visible = false;
};

// The window as the operations left it. (Never destroyed: the plug-in's
// unload step may still record into them while the program exits.)
extern Window& window;
// One entry per operation called, e.g. "create", "set_left -50", "modal".
extern std::vector<std::string>& calls;
// Outcomes the next operations report: false makes them fail.
extern bool create_succeeds;
extern bool picture_loads;  // window_load_picture
extern bool clip_opens;     // clip_set_file_name and the opening in clip_set_active
// Whether the window was visible when the modal display ran.
extern bool visible_at_modal;

// Back to the state at load: no window, nothing recorded, everything succeeds.
void reset();

}  // namespace splash::fake
