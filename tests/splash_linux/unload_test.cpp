// Unloading splash.so takes its window off the screen, and a later load in
// the same process (GTK already set up, a new GUI thread) shows a working
// window again. plughost (SPLASH_HOST) runs the plug-in; the test watches the
// X display: the window's pixels and whether plughost has a viewable window.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

// Xlib's macros (None, Bool, ...) must come after GoogleTest.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "screen.h"

namespace {

using namespace std::chrono_literals;
using screen::Rgb;

const Rgb kRed{255, 0, 0}, kLime{0, 255, 0};
// The middle of the window at its initial place and size.
const int kMiddleX = 205 + 427 / 2, kMiddleY = 107 + 273 / 2;

// Counts the viewable windows of plughost (WM_CLASS "plughost") below
// `window`, the window manager's frames included in the search.
int viewable_host_windows(::Display* display, ::Window window) {
    int count = 0;
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, window, &attributes) != 0 &&
        attributes.map_state == IsViewable) {
        XClassHint hint{};
        if (XGetClassHint(display, window, &hint) != 0) {
            if (hint.res_name != nullptr && std::strcmp(hint.res_name, "plughost") == 0) ++count;
            if (hint.res_name != nullptr) XFree(hint.res_name);
            if (hint.res_class != nullptr) XFree(hint.res_class);
        }
    }
    ::Window root, parent, *children = nullptr;
    unsigned int n = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &n) != 0) {
        for (unsigned int i = 0; i < n; ++i) count += viewable_host_windows(display, children[i]);
        if (children != nullptr) XFree(children);
    }
    return count;
}

// Windows may vanish while the tree is walked (that is what the test waits
// for): their errors are no failures.
int ignore_x_error(::Display*, XErrorEvent*) { return 0; }

class SplashUnload : public ::testing::Test {
protected:
    void SetUp() override {
        XSetErrorHandler(ignore_x_error);
        const char* name = std::getenv("DISPLAY");
        if (name != nullptr && name[0] != 0) x_ = XOpenDisplay(name);
        if (x_ == nullptr || !pixels_.ok()) GTEST_SKIP() << "no X display (DISPLAY)";
        const char* host = std::getenv("SPLASH_HOST");
        const char* dir = std::getenv("SPLASH_SCRIPTS_DIR");
        if (host == nullptr || dir == nullptr) GTEST_SKIP() << "SPLASH_HOST not set";
        host_ = std::make_unique<screen::Host>(std::vector<std::string>{host}, dir);
        ASSERT_TRUE(host_->started());
    }

    void TearDown() override {
        if (x_ != nullptr) XCloseDisplay(x_);
    }

    void run(const std::string& line) { ASSERT_TRUE(host_->run(line)) << line << host_->output(); }

    int host_windows() { return viewable_host_windows(x_, DefaultRootWindow(x_)); }

    // The window shows `color` and is plughost's only viewable window.
    bool shown_in(const Rgb& color) {
        return screen::near(pixels_.pixel(kMiddleX, kMiddleY), color) && host_windows() == 1;
    }

    bool gone(const Rgb& color) {
        return !screen::near(pixels_.pixel(kMiddleX, kMiddleY), color) && host_windows() == 0;
    }

    ::Display* x_ = nullptr;
    screen::Display pixels_;
    std::unique_ptr<screen::Host> host_;
};

TEST_F(SplashUnload, UnloadTakesTheWindowOffTheScreenAndALaterLoadShowsItAgain) {
    run("load splash");
    run("splash COLOR lime");
    run("splash SHOW");
    ASSERT_TRUE(screen::poll_until([&] { return shown_in(kLime); }))
        << "the window did not appear";

    run("unload splash");
    EXPECT_TRUE(screen::poll_until([&] { return gone(kLime); }, 5s))
        << "the window stayed on screen after unload";

    run("load splash");
    run("splash SHOW");
    run("splash COLOR red");
    EXPECT_TRUE(screen::poll_until([&] { return shown_in(kRed); }))
        << "no working window after loading again";
    run("unload splash");
    EXPECT_TRUE(screen::poll_until([&] { return gone(kRed); }, 5s));

    EXPECT_EQ(host_->finish(), 0) << "plughost reported a failure:\n" << host_->output();
}

}  // namespace
