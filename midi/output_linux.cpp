// The system's MIDI output on Linux: one of several backends, chosen each
// time the output is opened.
//
// Automatic choice: the first synthesizer port of the ALSA sequencer (a
// hardware synth, FluidSynth or TiMidity running as a server, ...); when
// there is none or it cannot be reached, the embedded FluidSynth
// synthesizer playing through SDL2.
//
// PLUGKIT_MIDI forces one backend instead:
//   alsa            the ALSA sequencer's first synthesizer port
//   alsa:PORT       the ALSA port "client:port" (numbers), or the first
//                   writable port whose client or port name contains PORT
//                   (letter case ignored)
//   synth           the embedded synthesizer with the default soundfont
//   synth:FILE      the embedded synthesizer with the soundfont FILE
//   record[:FILE]   no sound: every call is recorded (and written to FILE)
//   none            no device at all
// Any other value makes "OPEN" fail as an invalid setup.
#include <cstdlib>
#include <cstring>

#include "backends_linux.h"
#include "output.h"
#include "recorder.h"

namespace midi {

namespace {

const Output* active = nullptr;

uint32_t open_none(Handle*, uintptr_t) { return kResultNoDevice; }

// "name" or "name:argument": the argument, or nullptr if the value is not
// that name.
const char* match(const char* value, const char* name, bool* with_argument) {
    const std::size_t n = std::strlen(name);
    if (std::strncmp(value, name, n) != 0) return nullptr;
    if (value[n] == 0) {
        *with_argument = false;
        return value + n;
    }
    if (value[n] != ':') return nullptr;
    *with_argument = true;
    return value + n + 1;
}

uint32_t open_chosen(const Output& backend, uint32_t result) {
    if (result == kResultOk) active = &backend;
    return result;
}

uint32_t open(Handle* handle, uintptr_t callback) {
    const char* value = std::getenv("PLUGKIT_MIDI");
    if (value == nullptr || value[0] == 0 || std::strcmp(value, "auto") == 0) {
        // A synthesizer port that cannot be reached counts as none.
        if (alsa_output().open(handle, callback) == kResultOk) return open_chosen(alsa_output(), kResultOk);
        return open_chosen(synth_output(), synth_output().open(handle, callback));
    }
    bool argument = false;
    if (const char* port = match(value, "alsa", &argument)) {
        set_alsa_port(argument ? port : nullptr);
        const uint32_t result = alsa_output().open(handle, callback);
        set_alsa_port(nullptr);
        return open_chosen(alsa_output(), result);
    }
    if (const char* soundfont = match(value, "synth", &argument)) {
        set_synth_soundfont(argument ? soundfont : nullptr);
        const uint32_t result = synth_output().open(handle, callback);
        set_synth_soundfont(nullptr);
        return open_chosen(synth_output(), result);
    }
    if (const char* file = match(value, "record", &argument)) {
        if (argument && !recorder::log_to(file)) return kResultInvalidSetup;
        return open_chosen(recorder::output(), recorder::output().open(handle, callback));
    }
    if (std::strcmp(value, "none") == 0) return open_none(handle, callback);
    return kResultInvalidSetup;
}

uint32_t short_msg(Handle handle, uint32_t message) {
    return active != nullptr ? active->short_msg(handle, message) : kResultError;
}

uint32_t reset(Handle handle) {
    return active != nullptr ? active->reset(handle) : kResultError;
}

uint32_t close(Handle handle) {
    if (active == nullptr) return kResultError;
    const uint32_t result = active->close(handle);
    if (result == kResultOk) active = nullptr;
    return result;
}

const Output kSystem = {open, short_msg, reset, close};

}  // namespace

const Output& system_output() { return kSystem; }

}  // namespace midi
