#include "screen.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace screen {

using Clock = std::chrono::steady_clock;

std::string to_string(const Rgb& c) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "(%d,%d,%d)", c.r, c.g, c.b);
    return buf;
}

bool near(const Rgb& a, const Rgb& b, int tolerance) {
    return std::abs(a.r - b.r) < tolerance && std::abs(a.g - b.g) < tolerance &&
           std::abs(a.b - b.b) < tolerance;
}

Display::Display() {
    const char* name = std::getenv("DISPLAY");
    if (name != nullptr && name[0] != 0) display_ = XOpenDisplay(name);
}

Display::~Display() {
    if (display_ != nullptr) XCloseDisplay(display_);
}

Rgb Display::pixel(int x, int y) {
    if (display_ == nullptr) return {-1, -1, -1};
    const Window root = DefaultRootWindow(display_);
    XImage* image = XGetImage(display_, root, x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) return {-1, -1, -1};
    const unsigned long p = XGetPixel(image, 0, 0);
    auto channel = [p](unsigned long mask) {
        if (mask == 0) return 0;
        int shift = 0;
        while (((mask >> shift) & 1) == 0) ++shift;
        const unsigned long max = mask >> shift;
        return static_cast<int>(((p & mask) >> shift) * 255 / max);
    };
    Rgb c{channel(image->red_mask), channel(image->green_mask), channel(image->blue_mask)};
    XDestroyImage(image);
    return c;
}

void Display::press_key(const char* keysym_name) {
    if (display_ == nullptr) return;
    const KeyCode code = XKeysymToKeycode(display_, XStringToKeysym(keysym_name));
    XTestFakeKeyEvent(display_, code, True, 0);
    XTestFakeKeyEvent(display_, code, False, 0);
    XFlush(display_);
}

Host::Host(const std::vector<std::string>& argv, const std::string& cwd) {
    int in_pipe[2], out_pipe[2];
    if (argv.empty() || pipe(in_pipe) != 0) return;
    if (pipe(out_pipe) != 0) {
        close(in_pipe[0]);
        close(in_pipe[1]);
        return;
    }
    pid_ = fork();
    if (pid_ == 0) {
        setpgid(0, 0);  // its own group, so a stuck Wine can be ended whole
        dup2(in_pipe[0], 0);
        dup2(out_pipe[1], 1);
        close(in_pipe[0]);
        close(in_pipe[1]);
        close(out_pipe[0]);
        close(out_pipe[1]);
        if (chdir(cwd.c_str()) != 0) _exit(126);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(in_pipe[0]);
    close(out_pipe[1]);
    in_ = in_pipe[1];
    out_ = out_pipe[0];
    signal(SIGPIPE, SIG_IGN);
    if (pid_ < 0) {
        close(in_);
        close(out_);
        in_ = out_ = -1;
    }
}

Host::~Host() {
    if (pid_ > 0) finish(std::chrono::seconds(5));
    if (out_ >= 0) close(out_);
}

void Host::send(const std::string& line) {
    if (in_ < 0) return;
    const std::string text = line + "\n";
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(in_, text.data() + done, text.size() - done);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

void Host::read_available(int wait_ms) {
    if (out_ < 0) return;
    pollfd p{out_, POLLIN, 0};
    if (poll(&p, 1, wait_ms) <= 0) return;
    char buf[4096];
    const ssize_t n = read(out_, buf, sizeof buf);
    if (n > 0) output_.append(buf, static_cast<std::size_t>(n));
}

std::string Host::send_marker() {
    const std::string marker = "@marker" + std::to_string(++markers_) + "@";
    send("echo " + marker);
    return marker;
}

bool Host::marker_seen(const std::string& marker) {
    read_available(0);
    return output_.find(marker + "\n") != std::string::npos ||
           output_.find(marker + "\r\n") != std::string::npos;
}

bool Host::wait_marker(const std::string& marker, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!marker_seen(marker)) {
        if (Clock::now() >= deadline) return false;
        read_available(50);
    }
    return true;
}

bool Host::run(const std::string& line, std::chrono::milliseconds timeout) {
    send(line);
    return wait_marker(send_marker(), timeout);
}

int Host::finish(std::chrono::milliseconds timeout) {
    if (pid_ <= 0) return -1;
    if (in_ >= 0) {
        close(in_);
        in_ = -1;
    }
    const auto deadline = Clock::now() + timeout;
    int status = 0;
    for (;;) {
        read_available(20);
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) break;
        if (Clock::now() >= deadline) {
            kill(-pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            pid_ = -1;
            return -1;
        }
    }
    pid_ = -1;
    for (int i = 0; i < 10; ++i) read_available(0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool poll_until(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (condition()) return true;
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace screen
