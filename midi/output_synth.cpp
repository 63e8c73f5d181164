// MIDI output through an embedded synthesizer: FluidSynth renders the
// messages with a General MIDI soundfont, SDL2 plays the result.
//
// Both libraries are loaded when the output is opened, not when the plug-in
// is loaded: loading stays cheap, and the plug-in loads (and works with the
// ALSA sequencer or without a device) where they are not installed. Once
// loaded they stay loaded for the life of the process.
#include <SDL2/SDL.h>
#include <dlfcn.h>
#include <fluidsynth.h>
#include <unistd.h>

#include <cstring>

#include "alsa_quiet.h"
#include "backends_linux.h"

namespace midi {

namespace {

// ---- the library functions we use -------------------------------------------

#define PLUGKIT_FUNCTIONS(X)                                                       \
    X(fluid, new_fluid_settings) X(fluid, delete_fluid_settings)                    \
    X(fluid, fluid_settings_setnum) X(fluid, fluid_settings_setint)                 \
    X(fluid, new_fluid_synth) X(fluid, delete_fluid_synth) X(fluid, fluid_synth_sfload) \
    X(fluid, fluid_synth_noteon) X(fluid, fluid_synth_noteoff) X(fluid, fluid_synth_cc) \
    X(fluid, fluid_synth_program_change) X(fluid, fluid_synth_pitch_bend)           \
    X(fluid, fluid_synth_channel_pressure) X(fluid, fluid_synth_key_pressure)      \
    X(fluid, fluid_synth_all_sounds_off) X(fluid, fluid_synth_system_reset)        \
    X(fluid, fluid_synth_write_float) X(fluid, fluid_set_log_function)             \
    X(sdl, SDL_InitSubSystem) X(sdl, SDL_QuitSubSystem) X(sdl, SDL_WasInit) X(sdl, SDL_Quit) \
    X(sdl, SDL_OpenAudioDevice) X(sdl, SDL_PauseAudioDevice) X(sdl, SDL_CloseAudioDevice)

struct Api {
#define PLUGKIT_MEMBER(lib, name) decltype(&::name) name = nullptr;
    PLUGKIT_FUNCTIONS(PLUGKIT_MEMBER)
#undef PLUGKIT_MEMBER
};

Api api;
bool api_loaded = false;

void* open_library(const char* const* names) {
    for (; *names != nullptr; ++names) {
        if (void* lib = dlopen(*names, RTLD_NOW | RTLD_LOCAL)) return lib;
    }
    return nullptr;
}

bool load_api() {
    if (api_loaded) return true;
    static const char* const fluid_names[] = {"libfluidsynth.so.3", "libfluidsynth.so", nullptr};
    static const char* const sdl_names[] = {"libSDL2-2.0.so.0", "libSDL2.so", nullptr};
    void* fluid = open_library(fluid_names);
    void* sdl = open_library(sdl_names);
    if (fluid == nullptr || sdl == nullptr) return false;
    Api loaded;
#define PLUGKIT_LOAD(lib, name)                                                  \
    loaded.name = reinterpret_cast<decltype(&::name)>(dlsym(lib, #name));        \
    if (loaded.name == nullptr) return false;
    PLUGKIT_FUNCTIONS(PLUGKIT_LOAD)
#undef PLUGKIT_LOAD
    api = loaded;
    api_loaded = true;
    return true;
}

// ---- the device -------------------------------------------------------------------

struct Device {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    SDL_AudioDeviceID audio = 0;
    bool sdl_was_ours = false;  // nobody else in the process had SDL running
    bool sdl_started = false;
};

Device device;
const char* wanted_soundfont = nullptr;

// FluidSynth's default gain (0.2) is meant for mixing many voices; a single
// note at that level is very quiet.
constexpr double kGain = 1.0;
constexpr int kSampleRate = 44100;
constexpr Uint16 kBufferFrames = 512;  // about 12 ms

const char* default_soundfont() {
    static const char* const candidates[] = {
        "/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf3/default-GM.sf3",
        "/usr/share/sounds/sf2/TimGM6mb.sf2",   "/usr/share/sounds/sf2/FluidR3_GM.sf2",
        "/usr/share/soundfonts/default.sf2",    nullptr};
    for (const char* const* c = candidates; *c != nullptr; ++c) {
        if (access(*c, R_OK) == 0) return *c;
    }
    return nullptr;
}

// Runs on SDL's audio thread. FluidSynth's API is thread-safe by default, so
// messages may arrive meanwhile from the host's thread.
void render(void*, Uint8* stream, int len) {
    if (device.synth == nullptr) {
        std::memset(stream, 0, static_cast<std::size_t>(len));
        return;
    }
    const int frames = len / static_cast<int>(2 * sizeof(float));
    api.fluid_synth_write_float(device.synth, frames, stream, 0, 2, stream, 1, 2);
}

void release() {
    if (device.audio != 0) api.SDL_CloseAudioDevice(device.audio);  // stops the audio thread
    if (device.sdl_started) {
        api.SDL_QuitSubSystem(SDL_INIT_AUDIO);
        if (device.sdl_was_ours) api.SDL_Quit();
    }
    if (device.synth != nullptr) api.delete_fluid_synth(device.synth);
    if (device.settings != nullptr) api.delete_fluid_settings(device.settings);
    device = Device{};
}

uint32_t open(Handle* handle, uintptr_t) {
    if (device.synth != nullptr) return kResultAllocated;
    const char* soundfont = wanted_soundfont != nullptr ? wanted_soundfont : default_soundfont();
    if (soundfont == nullptr) return kResultNoDevice;
    if (access(soundfont, R_OK) != 0) return kResultInvalidSetup;
    if (!load_api()) return kResultNoDevice;

    for (int level = 0; level < LAST_LOG_LEVEL; ++level) {
        api.fluid_set_log_function(level, nullptr, nullptr);
    }
    // SDL probes the sound servers and ALSA devices; keep ALSA's messages
    // about missing cards off the host's stderr.
    QuietAlsa quiet_errors;
    device.sdl_was_ours = api.SDL_WasInit(SDL_INIT_EVERYTHING) == 0;
    if (api.SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        device = Device{};
        return kResultNoDevice;
    }
    device.sdl_started = true;

    device.settings = api.new_fluid_settings();
    if (device.settings == nullptr) {
        release();
        return kResultNoMemory;
    }
    // The synth is made for the rate the device gives, so the device is
    // opened first, paused; it starts playing once the synth is ready.
    SDL_AudioSpec want{};
    SDL_AudioSpec have{};
    want.freq = kSampleRate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = kBufferFrames;
    want.callback = render;
    device.audio = api.SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
    if (device.audio == 0) {
        release();
        return kResultNoDevice;
    }
    api.fluid_settings_setnum(device.settings, "synth.sample-rate", have.freq);
    api.fluid_settings_setnum(device.settings, "synth.gain", kGain);
    device.synth = api.new_fluid_synth(device.settings);
    if (device.synth == nullptr) {
        release();
        return kResultNoMemory;
    }
    if (api.fluid_synth_sfload(device.synth, soundfont, 1) == FLUID_FAILED) {
        release();
        return kResultInvalidSetup;
    }
    api.SDL_PauseAudioDevice(device.audio, 0);
    *handle = reinterpret_cast<Handle>(&device);
    return kResultOk;
}

bool is_device(Handle handle) {
    return handle == reinterpret_cast<Handle>(&device) && device.synth != nullptr;
}

uint32_t short_msg(Handle handle, uint32_t message) {
    if (!is_device(handle)) return kResultError;
    const int status = static_cast<int>(message & 0xF0);
    const int channel = static_cast<int>(message & 0x0F);
    const int data1 = static_cast<int>(message >> 8 & 0x7F);
    const int data2 = static_cast<int>(message >> 16 & 0x7F);
    fluid_synth_t* synth = device.synth;
    switch (status) {
        case 0x80: api.fluid_synth_noteoff(synth, channel, data1); break;
        case 0x90: api.fluid_synth_noteon(synth, channel, data1, data2); break;  // 0: note off
        case 0xA0: api.fluid_synth_key_pressure(synth, channel, data1, data2); break;
        case 0xB0: api.fluid_synth_cc(synth, channel, data1, data2); break;
        case 0xC0: api.fluid_synth_program_change(synth, channel, data1); break;
        case 0xD0: api.fluid_synth_channel_pressure(synth, channel, data1); break;
        case 0xE0: api.fluid_synth_pitch_bend(synth, channel, data1 | data2 << 7); break;
        default: break;  // system messages: nothing to render
    }
    return kResultOk;
}

uint32_t reset(Handle handle) {
    if (!is_device(handle)) return kResultError;
    // All sound off on every channel, then the controllers back to their
    // defaults, as the reset of a MIDI device does.
    api.fluid_synth_all_sounds_off(device.synth, -1);
    for (int channel = 0; channel < 16; ++channel) api.fluid_synth_cc(device.synth, channel, 121, 0);
    return kResultOk;
}

uint32_t close(Handle handle) {
    if (!is_device(handle)) return kResultError;
    release();
    return kResultOk;
}

const Output kOutput = {open, short_msg, reset, close};

}  // namespace

const Output& synth_output() { return kOutput; }
void set_synth_soundfont(const char* path) { wanted_soundfont = path; }

}  // namespace midi
