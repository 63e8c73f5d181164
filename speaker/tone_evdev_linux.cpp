// A kernel tone device on Linux: an input device that accepts SND_TONE
// events (the pcspkr driver's "PC Speaker", some sound cards' beepers).
// The descriptor stays open from the first use to unload, since opening one
// costs about 16 ms. Writing needs write access to /dev/input/eventN (root,
// or a udev rule that grants it).
#include <dirent.h>
#include <fcntl.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "backends.h"

namespace speaker {
namespace {

int device = -1;

bool offers_tone(int fd) {
    unsigned long bits[1] = {0};
    if (ioctl(fd, EVIOCGBIT(EV_SND, sizeof bits), bits) < 0) return false;
    return (bits[0] & (1UL << SND_TONE)) != 0;
}

// The number N of a name "eventN", or -1.
long event_number(const char* name) {
    if (std::strncmp(name, "event", 5) != 0 || name[5] < '0' || name[5] > '9') return -1;
    char* end = nullptr;
    const long n = std::strtol(name + 5, &end, 10);
    return *end == 0 ? n : -1;
}

void tone(uint16_t hz) {
    if (device < 0) return;
    input_event event;
    std::memset(&event, 0, sizeof event);
    event.type = EV_SND;
    event.code = SND_TONE;
    event.value = hz;
    // A lost event is a tone not heard; nothing else to do about it.
    const ssize_t written = write(device, &event, sizeof event);
    (void)written;
}

void close_device() {
    if (device >= 0) close(device);
    device = -1;
}

const PortLayer kLayer = {"evdev", nullptr, nullptr, tone, close_device};

}  // namespace

const PortLayer* open_evdev_tone() {
    if (device >= 0) return &kLayer;
    DIR* dir = opendir("/dev/input");
    if (dir == nullptr) return nullptr;
    // The lowest-numbered device that offers tones, so the choice does not
    // depend on the directory's order.
    long best = -1;
    int best_fd = -1;
    while (const dirent* entry = readdir(dir)) {
        const long n = event_number(entry->d_name);
        if (n < 0 || (best >= 0 && n > best)) continue;
        char path[64];
        std::snprintf(path, sizeof path, "/dev/input/event%ld", n);
        const int fd = open(path, O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        if (!offers_tone(fd)) {
            close(fd);
            continue;
        }
        if (best_fd >= 0) close(best_fd);
        best = n;
        best_fd = fd;
    }
    closedir(dir);
    if (best_fd < 0) return nullptr;
    device = best_fd;
    return &kLayer;
}

bool tone_device_exists() {
    DIR* dir = opendir("/sys/class/input");
    if (dir == nullptr) return false;
    bool found = false;
    while (const dirent* entry = readdir(dir)) {
        const long n = event_number(entry->d_name);
        if (n < 0) continue;
        char path[96];
        std::snprintf(path, sizeof path, "/sys/class/input/event%ld/device/capabilities/snd", n);
        FILE* file = std::fopen(path, "re");
        if (file == nullptr) continue;
        // A hexadecimal bit mask; SND_TONE is bit 1 of the lowest word.
        char text[64] = {0};
        const bool read = std::fgets(text, sizeof text, file) != nullptr;
        std::fclose(file);
        if (!read) continue;
        std::size_t len = std::strcspn(text, "\n");
        text[len] = 0;
        const char* last_word = std::strrchr(text, ' ');
        const unsigned long bits = std::strtoul(last_word != nullptr ? last_word + 1 : text,
                                                nullptr, 16);
        if ((bits & (1UL << SND_TONE)) != 0) {
            found = true;
            break;
        }
    }
    closedir(dir);
    return found;
}

}  // namespace speaker
