// The order in which the speaker's port layers are tried on Linux:
//   1. evdev    a kernel tone device (/dev/input/event* with SND_TONE)
//   2. console  KIOCSOUND on the console, only if such a device exists
//   3. ports    the timer's I/O ports through ioperm (x86, root)
//   4. emulated the 8254 model heard through SDL2 audio; silent without a
//               sound device, and always available
// The kernel's own driver comes first: where it exists it owns the speaker,
// and programming the ports beside it would race with it.
#include "backends.h"

namespace speaker {
namespace {

const Candidate kOrder[] = {
    {"evdev", open_evdev_tone},
    {"console", open_console_tone},
    {"ports", open_ioperm_ports},
    {"emulated", open_emulated_sdl},
};

}  // namespace

const Candidate* platform_order(std::size_t* count) {
    *count = sizeof kOrder / sizeof kOrder[0];
    return kOrder;
}

}  // namespace speaker
