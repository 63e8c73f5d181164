// The emulated 8254 and port 0x61 on Linux, heard through SDL2 audio.
//
// SDL2 is loaded when this layer is first chosen (dlopen), so the plug-in
// loads and works without it. Without SDL2 or without a sound device the
// model runs on the wall clock, silent, and every command behaves the same.
// SDL_AUDIODRIVER picks SDL's driver as usual (e.g. "disk" writes the sound
// to the file SDL_DISKAUDIOFILE names).
#include <dlfcn.h>
#include <pthread.h>

#include <cstring>

#include "backends.h"
#include "emulated.h"
#include "timing.h"

#if defined(SPEAKER_HAVE_SDL)
#include <SDL.h>
#endif

namespace speaker {
namespace {

EmulatedSpeaker model;
// Serialises the command thread's port accesses and SDL's audio thread.
pthread_mutex_t model_lock = PTHREAD_MUTEX_INITIALIZER;

class Locked {
public:
    Locked() { pthread_mutex_lock(&model_lock); }
    ~Locked() { pthread_mutex_unlock(&model_lock); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
};

#if defined(SPEAKER_HAVE_SDL)
struct Sdl {
    int (*InitSubSystem)(Uint32);
    void (*QuitSubSystem)(Uint32);
    SDL_AudioDeviceID (*OpenAudioDevice)(const char*, int, const SDL_AudioSpec*, SDL_AudioSpec*,
                                         int);
    void (*PauseAudioDevice)(SDL_AudioDeviceID, int);
    void (*CloseAudioDevice)(SDL_AudioDeviceID);
};

Sdl sdl;
bool sdl_loaded = false;
SDL_AudioDeviceID device = 0;
uint32_t device_rate = EmulatedSpeaker::kSampleRate;

template <typename F>
bool find(void* lib, const char* name, F* out) {
    void* symbol = dlsym(lib, name);
    if (symbol == nullptr) return false;
    std::memcpy(out, &symbol, sizeof symbol);
    return true;
}

bool load_sdl() {
    if (sdl_loaded) return true;
    // Stays loaded once loaded: SDL keeps state of its own.
    void* lib = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr) return false;
    sdl_loaded = find(lib, "SDL_InitSubSystem", &sdl.InitSubSystem) &&
                 find(lib, "SDL_QuitSubSystem", &sdl.QuitSubSystem) &&
                 find(lib, "SDL_OpenAudioDevice", &sdl.OpenAudioDevice) &&
                 find(lib, "SDL_PauseAudioDevice", &sdl.PauseAudioDevice) &&
                 find(lib, "SDL_CloseAudioDevice", &sdl.CloseAudioDevice);
    return sdl_loaded;
}

void fill(void*, Uint8* stream, int bytes) {
    Locked locked;
    model.render(reinterpret_cast<int16_t*>(stream), static_cast<std::size_t>(bytes) / 2,
                 device_rate);
}

// SDL probes ALSA, whose library prints its complaints about a missing card
// on stderr. A plug-in prints nothing, so they are silenced while SDL opens
// the device (libasound is loaded here, the same copy SDL then uses), and the
// default handler is back before any of our code could be unloaded.
using AlsaErrorHandler = void (*)(const char*, int, const char*, int, const char*, ...);
using SetAlsaErrorHandler = int (*)(AlsaErrorHandler);
void quiet_alsa(const char*, int, const char*, int, const char*, ...) {}

class QuietAlsa {
public:
    QuietAlsa() {
        void* lib = dlopen("libasound.so.2", RTLD_NOW | RTLD_GLOBAL);
        if (lib != nullptr && find(lib, "snd_lib_error_set_handler", &set_)) set_(quiet_alsa);
    }
    ~QuietAlsa() {
        if (set_ != nullptr) set_(nullptr);
    }
    QuietAlsa(const QuietAlsa&) = delete;
    QuietAlsa& operator=(const QuietAlsa&) = delete;

private:
    SetAlsaErrorHandler set_ = nullptr;
};

void open_sound() {
    if (device != 0 || !load_sdl()) return;
    QuietAlsa quiet;
    if (sdl.InitSubSystem(SDL_INIT_AUDIO) != 0) return;
    SDL_AudioSpec want;
    std::memset(&want, 0, sizeof want);
    want.freq = static_cast<int>(EmulatedSpeaker::kSampleRate);
    want.format = AUDIO_S16SYS;
    want.channels = 1;
    want.samples = 512;  // about 11 ms: how late a port write is heard
    want.callback = fill;
    SDL_AudioSpec have;
    // No changes allowed: SDL converts to what the device takes.
    device = sdl.OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device == 0) {
        sdl.QuitSubSystem(SDL_INIT_AUDIO);
        return;
    }
    {
        Locked locked;
        device_rate = static_cast<uint32_t>(have.freq);
        model.stream_started();
    }
    sdl.PauseAudioDevice(device, 0);
}

void close_sound() {
    if (device == 0) return;
    sdl.CloseAudioDevice(device);  // waits for the audio thread
    device = 0;
    sdl.QuitSubSystem(SDL_INIT_AUDIO);
    Locked locked;
    model.stream_stopped(timing::now_ns());
}
#else
void open_sound() {}
void close_sound() {}
#endif

uint8_t in(uint16_t port) {
    Locked locked;
    return model.read(port, timing::now_ns());
}

void out(uint16_t port, uint8_t value) {
    Locked locked;
    model.write(port, value, timing::now_ns());
}

bool opened = false;

void close_layer() {
    close_sound();
    opened = false;
}

const PortLayer kLayer = {"emulated", in, out, nullptr, close_layer};

}  // namespace

const PortLayer* open_emulated_sdl() {
    if (!opened) {
        opened = true;
        open_sound();
    }
    return &kLayer;
}

}  // namespace speaker
