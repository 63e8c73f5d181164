// The Linux console's KIOCSOUND. The kernel hands it on to the input
// devices that offer SND_TONE and answers success even when there is none,
// so it is used only when such a device exists (it is the way to it for a
// process that may use the console but not the device node). Needs the
// console as controlling terminal, or CAP_SYS_TTY_CONFIG.
#include <fcntl.h>
#include <linux/kd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "backends.h"
#include "pit8254.h"

namespace speaker {
namespace {

int console = -1;

void tone(uint16_t hz) {
    if (console < 0) return;
    const unsigned long count = hz == 0 ? 0 : kTimerClockHz / hz;
    ioctl(console, KIOCSOUND, count);
}

void close_console() {
    if (console >= 0) close(console);
    console = -1;
}

const PortLayer kLayer = {"console", nullptr, nullptr, tone, close_console};

}  // namespace

const PortLayer* open_console_tone() {
    if (console >= 0) return &kLayer;
    if (!tone_device_exists()) return nullptr;
    const char* const paths[] = {"/dev/tty0", "/dev/console", "/dev/tty"};
    for (const char* path : paths) {
        const int fd = open(path, O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        // Silence is the one safe probe: it tells whether we may use it.
        if (ioctl(fd, KIOCSOUND, 0UL) == 0) {
            console = fd;
            return &kLayer;
        }
        close(fd);
    }
    return nullptr;
}

}  // namespace speaker
