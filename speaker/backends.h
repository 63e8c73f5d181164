// The port layers of each platform, one file each. Every open function
// answers its layer when it can serve here and now, or nullptr; none of them
// fails in any other way.
#pragma once

#include "ports.h"

namespace speaker {

#if defined(_WIN32)
// ports_direct_win32.cpp: in/out instructions, where the system lets this
// process execute them (probed under a vectored exception handler).
const PortLayer* open_direct_ports();
// ports_emulated_waveout.cpp: the emulated 8254 heard through winmm waveOut.
const PortLayer* open_emulated_waveout();
#else
// tone_evdev_linux.cpp: an input device with SND_TONE (/dev/input/event*).
const PortLayer* open_evdev_tone();
// True when some input device offers SND_TONE, whether or not this process
// may open it (read from sysfs).
bool tone_device_exists();
// tone_console_linux.cpp: the console's KIOCSOUND.
const PortLayer* open_console_tone();
// ports_ioperm_linux.cpp: x86 I/O ports through ioperm.
const PortLayer* open_ioperm_ports();
// ports_emulated_sdl.cpp: the emulated 8254 heard through SDL2 audio.
const PortLayer* open_emulated_sdl();
#endif

}  // namespace speaker
