#include "window_fake.h"

#include <strings.h>

#include "window_ops.h"

namespace splash::fake {

Window& window = *new Window;
std::vector<std::string>& calls = *new std::vector<std::string>;
bool create_succeeds = true;
bool picture_loads = true;
bool clip_opens = true;
bool visible_at_modal = false;

void reset() {
    window = Window{};
    calls.clear();
    create_succeeds = true;
    picture_loads = true;
    clip_opens = true;
    visible_at_modal = false;
}

namespace {
void record(const char* op) { calls.emplace_back(op); }
void record(const char* op, int64_t value) {
    calls.push_back(std::string(op) + " " + std::to_string(value));
}
void record(const char* op, const char* text) { calls.push_back(std::string(op) + " " + text); }
}  // namespace

}  // namespace splash::fake

namespace splash {

using fake::record;
using fake::window;

bool window_create() {
    record("create");
    if (!fake::create_succeeds) return false;
    window = fake::Window{};
    window.exists = true;
    window.left = kInitialLeft;
    window.top = kInitialTop;
    window.width = kInitialWidth;
    window.height = kInitialHeight;
    window.color = kClWindow;
    window.button_left = kButtonLeft;
    window.button_top = kButtonTop;
    return true;
}

void window_destroy() {
    record("destroy");
    window = fake::Window{};
}

void window_show() {
    record("show");
    if (window.exists) window.visible = true;
}

void window_hide() {
    record("hide");
    window.visible = false;
}

bool window_visible() { return window.visible; }

void window_set_left(int32_t left) {
    record("set_left", left);
    window.left = left;
}
void window_set_top(int32_t top) {
    record("set_top", top);
    window.top = top;
}
void window_set_width(int32_t width) {
    record("set_width", width);
    window.width = width;
}
void window_set_height(int32_t height) {
    record("set_height", height);
    window.height = height;
}
int32_t window_width() { return window.width; }
int32_t window_height() { return window.height; }

void window_set_color(uint32_t color) {
    record("set_color", color);
    window.color = color;
}

bool window_load_picture(const char* path) {
    record("load_picture", path);
    if (!window.exists || !fake::picture_loads) return false;
    window.picture = path;
    return true;
}

void window_set_stretch(bool on) {
    record("set_stretch", on ? 1 : 0);
    window.stretch = on;
}

bool clip_set_file_name(const char* path) {
    record("clip_file", path);
    if (!window.exists) return false;
    if (strcasecmp(window.clip_file.c_str(), path) == 0 && !window.clip_file.empty()) return true;
    window.clip_playing = false;
    window.clip_open = false;
    if (!fake::clip_opens) return false;
    window.clip_file = path;
    window.clip_open = true;
    return true;
}

bool clip_set_active() {
    record("clip_active");
    if (!window.exists) return false;
    if (window.clip_playing) return true;
    if (!window.clip_open) {
        if (window.clip_file.empty() || !fake::clip_opens) return false;
        window.clip_open = true;
    }
    window.clip_playing = true;
    return true;
}

void clip_set_visible(bool visible) {
    record("clip_visible", visible ? 1 : 0);
    window.clip_visible = visible;
}

int32_t button_width() { return kButtonWidth; }
int32_t button_height() { return kButtonHeight; }
void button_set_left(int32_t left) {
    record("button_left", left);
    window.button_left = left;
}
void button_set_top(int32_t top) {
    record("button_top", top);
    window.button_top = top;
}
void button_show() {
    record("button_show");
    window.button_visible = true;
}
void button_hide() {
    record("button_hide");
    window.button_visible = false;
}

void window_show_modal() {
    record("modal");
    fake::visible_at_modal = window.visible;
    // The button is pressed at once; the window ends hidden.
    window.visible = false;
}

}  // namespace splash
