// The MIDI output boundary: four operations shaped like the Windows
// multimedia calls midiOutOpen, midiOutShortMsg, midiOutReset and
// midiOutClose. The command handler reaches the MIDI output only through
// these; each backend (winmm, ALSA sequencer, embedded synthesizer, recorder)
// supplies one table of them.
#pragma once

#include <cstdint>

namespace midi {

// An open device, as the backend understands it; 0 is never an open device.
using Handle = uintptr_t;

// Results, with the values of the Windows multimedia error codes.
enum Result : uint32_t {
    kResultOk = 0,           // MMSYSERR_NOERROR
    kResultError = 1,        // MMSYSERR_ERROR: unspecified failure
    kResultAllocated = 4,    // MMSYSERR_ALLOCATED: the device is in use
    kResultNoMemory = 7,     // MMSYSERR_NOMEM
    kResultNoDevice = 68,    // MIDIERR_NODEVICE: no MIDI output at all
    kResultInvalidSetup = 69 // MIDIERR_INVALIDSETUP: the output is set up wrongly
};

struct Output {
    // Opens the output: fills *handle and answers 0, or answers an error and
    // leaves the output closed. `callback` is handed on where the system
    // takes one; no callback is ever requested.
    uint32_t (*open)(Handle* handle, uintptr_t callback);
    // Sends one short message at once: status byte in the lowest byte, then
    // the first and second data bytes, 0 in the top byte.
    uint32_t (*short_msg)(Handle handle, uint32_t message);
    // Silences every sounding note on every channel.
    uint32_t (*reset)(Handle handle);
    // Closes the output: 0, or an error after which it counts as open.
    uint32_t (*close)(Handle handle);
};

// The system's output: winmm on Windows; on Linux the backend chosen when the
// output is opened (see output_linux.cpp).
const Output& system_output();

// Packs a short message.
constexpr uint32_t short_message(uint8_t status, uint8_t data1, uint8_t data2) {
    return static_cast<uint32_t>(status) | static_cast<uint32_t>(data1) << 8 |
           static_cast<uint32_t>(data2) << 16;
}

}  // namespace midi
