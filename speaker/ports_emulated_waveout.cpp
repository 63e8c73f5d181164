// The emulated 8254 and port 0x61 on Windows, heard through winmm waveOut.
//
// A sound stream starts when a port write makes the speaker sound, on a
// thread of its own that keeps a few short buffers queued, each rendered
// from the model as it comes back from the device. After two seconds of
// silence the thread closes the device and ends. While it runs it holds a
// reference to this library (taken when it starts, given back with
// FreeLibraryAndExitThread), so a FreeLibrary by the host never pulls the
// code from under it: a tone left sounding by "ON" sounds on after unload,
// as it does on the real speaker, until the process ends. Nothing is ever
// waited for under the loader lock.
//
// Without a sound device (waveOutOpen fails) the model runs on the wall
// clock, silent, and every command behaves the same.
#include <windows.h>
#include <mmsystem.h>

#include "backends.h"
#include "emulated.h"
#include "timing.h"

namespace speaker {
namespace {

constexpr int kBuffers = 4;
constexpr DWORD kFrames = EmulatedSpeaker::kSampleRate / 100;  // 10 ms each
constexpr int kIdleBuffers = 200;                              // 2 s of silence

struct Stream {
    HWAVEOUT device;
    HANDLE done;  // set by winmm whenever a buffer has played
    HMODULE self;
    WAVEHDR headers[kBuffers];
    int16_t samples[kBuffers][kFrames];
};

EmulatedSpeaker model;
// Serialises the command thread's port accesses and the stream thread.
SRWLOCK model_lock = SRWLOCK_INIT;
Stream* running = nullptr;  // under model_lock
bool no_device = false;     // under model_lock: waveOutOpen failed once

class Locked {
public:
    Locked() { AcquireSRWLockExclusive(&model_lock); }
    ~Locked() { ReleaseSRWLockExclusive(&model_lock); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
};

void close_stream(Stream* stream) {
    waveOutReset(stream->device);
    for (WAVEHDR& header : stream->headers) {
        waveOutUnprepareHeader(stream->device, &header, sizeof header);
    }
    waveOutClose(stream->device);
    CloseHandle(stream->done);
}

// Renders into every buffer the device has given back and queues it again.
// Under model_lock. Counts the buffers in a row that held only silence.
void refill(Stream* stream, int* quiet) {
    for (int i = 0; i < kBuffers; ++i) {
        WAVEHDR& header = stream->headers[i];
        if ((header.dwFlags & WHDR_DONE) == 0) continue;
        model.render(stream->samples[i], kFrames, EmulatedSpeaker::kSampleRate);
        *quiet = model.active() ? 0 : *quiet + 1;
        header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
        waveOutWrite(stream->device, &header, sizeof header);
    }
}

DWORD WINAPI play(void* argument) {
    auto* stream = static_cast<Stream*>(argument);
    int quiet = 0;
    for (;;) {
        WaitForSingleObject(stream->done, 100);
        Locked locked;
        refill(stream, &quiet);
        if (quiet >= kIdleBuffers) {
            running = nullptr;
            model.stream_stopped(timing::now_ns());
            break;
        }
    }
    close_stream(stream);
    HMODULE self = stream->self;
    HeapFree(GetProcessHeap(), 0, stream);
    FreeLibraryAndExitThread(self, 0);
}

// Under model_lock, when a write has made the speaker sound.
void start_stream() {
    if (running != nullptr || no_device) return;
    auto* stream = static_cast<Stream*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(Stream)));
    if (stream == nullptr) return;
    stream->done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = EmulatedSpeaker::kSampleRate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 2;
    format.nAvgBytesPerSec = EmulatedSpeaker::kSampleRate * 2;
    if (stream->done == nullptr ||
        waveOutOpen(&stream->device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(stream->done),
                    0, CALLBACK_EVENT) != MMSYSERR_NOERROR) {
        if (stream->done != nullptr) CloseHandle(stream->done);
        HeapFree(GetProcessHeap(), 0, stream);
        no_device = true;
        return;
    }
    // The thread's own reference to this library.
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(&play), &stream->self)) {
        waveOutClose(stream->device);
        CloseHandle(stream->done);
        HeapFree(GetProcessHeap(), 0, stream);
        no_device = true;
        return;
    }
    for (int i = 0; i < kBuffers; ++i) {
        WAVEHDR& header = stream->headers[i];
        header.lpData = reinterpret_cast<LPSTR>(stream->samples[i]);
        header.dwBufferLength = kFrames * 2;
        waveOutPrepareHeader(stream->device, &header, sizeof header);
        header.dwFlags |= WHDR_DONE;  // to be filled
    }
    model.stream_started();
    int quiet = 0;
    refill(stream, &quiet);
    HANDLE thread = CreateThread(nullptr, 0, play, stream, 0, nullptr);
    if (thread == nullptr) {
        model.stream_stopped(timing::now_ns());
        close_stream(stream);
        FreeLibrary(stream->self);
        HeapFree(GetProcessHeap(), 0, stream);
        no_device = true;
        return;
    }
    CloseHandle(thread);
    running = stream;
}

uint8_t in(uint16_t port) {
    Locked locked;
    return model.read(port, timing::now_ns());
}

void out(uint16_t port, uint8_t value) {
    Locked locked;
    model.write(port, value, timing::now_ns());
    if (model.pit().sounding()) start_stream();
}

const PortLayer kLayer = {"emulated", in, out, nullptr, nullptr};

}  // namespace

const PortLayer* open_emulated_waveout() { return &kLayer; }

}  // namespace speaker
