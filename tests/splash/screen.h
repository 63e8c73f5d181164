// Screen-test harness: runs plughost with a script fed line by line through
// its standard input and reads the X screen (the root window of $DISPLAY) to
// check what the splash window shows. Every check polls with a deadline.
#pragma once

#include <X11/Xlib.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace screen {

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
    bool operator!=(const Rgb& o) const { return !(*this == o); }
};
std::string to_string(const Rgb& c);

// Colours closer than `tolerance` in every channel count as equal (the
// display may be 16-bit or dither).
bool near(const Rgb& a, const Rgb& b, int tolerance = 8);

class Display {
public:
    Display();
    ~Display();
    bool ok() const { return display_ != nullptr; }
    Rgb pixel(int x, int y);
    // Presses and releases a key (an X keysym name such as "Return").
    void press_key(const char* keysym_name);

private:
    ::Display* display_ = nullptr;
};

// One plughost process fed through a pipe; its standard output is read back
// to learn when a line has been carried out.
class Host {
public:
    // argv: the program and its arguments; cwd: the working directory.
    Host(const std::vector<std::string>& argv, const std::string& cwd);
    ~Host();
    bool started() const { return pid_ > 0; }
    // Sends one script line.
    void send(const std::string& line);
    // Sends the line, then an `echo` marker, and waits until the marker is
    // printed: the line has then been carried out. False on timeout.
    bool run(const std::string& line, std::chrono::milliseconds timeout = std::chrono::seconds(30));
    // Sends a marker and returns its text without waiting.
    std::string send_marker();
    // Waits until `marker` is printed (true) or the timeout passes.
    bool wait_marker(const std::string& marker, std::chrono::milliseconds timeout);
    // True if `marker` has been printed by now (reads what is waiting).
    bool marker_seen(const std::string& marker);
    // Closes the script; returns plughost's exit status, or -1 when it had to
    // be killed after the timeout.
    int finish(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    const std::string& output() const { return output_; }

private:
    void read_available(int wait_ms);
    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    int markers_ = 0;
    std::string output_;
};

// Polls `condition` until it holds or the deadline passes.
bool poll_until(const std::function<bool()>& condition,
                std::chrono::milliseconds timeout = std::chrono::seconds(10));

}  // namespace screen
