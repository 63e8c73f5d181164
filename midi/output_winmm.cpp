// MIDI output on Windows: the multimedia API itself, on the MIDI mapper.
#include <windows.h>
#include <mmsystem.h>

#include "output.h"

namespace midi {

namespace {

HMIDIOUT device(Handle handle) { return reinterpret_cast<HMIDIOUT>(handle); }

uint32_t open(Handle* handle, uintptr_t callback) {
    HMIDIOUT out = nullptr;
    // CALLBACK_NULL: the callback value is handed on but never called.
    const MMRESULT result = midiOutOpen(&out, MIDI_MAPPER, static_cast<DWORD_PTR>(callback), 0,
                                        CALLBACK_NULL);
    if (result == MMSYSERR_NOERROR) *handle = reinterpret_cast<Handle>(out);
    return result;
}

uint32_t short_msg(Handle handle, uint32_t message) {
    return midiOutShortMsg(device(handle), message);
}

uint32_t reset(Handle handle) { return midiOutReset(device(handle)); }

uint32_t close(Handle handle) { return midiOutClose(device(handle)); }

const Output kOutput = {open, short_msg, reset, close};

}  // namespace

const Output& system_output() { return kOutput; }

}  // namespace midi
