// MIDI output through the ALSA sequencer (libasound): our own client with
// one output port, subscribed to a synthesizer port, every message sent
// directly (no queue).
#include <alsa/asoundlib.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "alsa_quiet.h"
#include "backends_linux.h"

namespace midi {

namespace {

struct Device {
    snd_seq_t* seq = nullptr;
    snd_midi_event_t* encoder = nullptr;
    int port = -1;
};

Device device;
const char* wanted_port = nullptr;

bool contains_ignoring_case(const char* haystack, const char* needle) {
    const std::size_t n = std::strlen(needle);
    for (const char* h = haystack; *h != 0; ++h) {
        std::size_t i = 0;
        while (i < n && h[i] != 0 &&
               std::tolower(static_cast<unsigned char>(h[i])) ==
                   std::tolower(static_cast<unsigned char>(needle[i]))) {
            ++i;
        }
        if (i == n) return true;
    }
    return n == 0;
}

constexpr unsigned kSynthTypes = SND_SEQ_PORT_TYPE_SYNTH | SND_SEQ_PORT_TYPE_SYNTHESIZER |
                                 SND_SEQ_PORT_TYPE_MIDI_GM | SND_SEQ_PORT_TYPE_MIDI_GM2 |
                                 SND_SEQ_PORT_TYPE_MIDI_GS | SND_SEQ_PORT_TYPE_MIDI_XG;
constexpr unsigned kWritable = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;

// Does the port fit the request: the named one, or else a synthesizer.
bool fits(snd_seq_client_info_t* client, snd_seq_port_info_t* port, const char* wanted) {
    if ((snd_seq_port_info_get_capability(port) & kWritable) != kWritable) return false;
    if (wanted != nullptr) {
        int c = -1, p = -1;
        char tail = 0;
        if (std::sscanf(wanted, "%d:%d%c", &c, &p, &tail) == 2) {
            return c == snd_seq_client_info_get_client(client) && p == snd_seq_port_info_get_port(port);
        }
        return contains_ignoring_case(snd_seq_client_info_get_name(client), wanted) ||
               contains_ignoring_case(snd_seq_port_info_get_name(port), wanted);
    }
    if (std::strcmp(snd_seq_client_info_get_name(client), "Midi Through") == 0) return false;
    return (snd_seq_port_info_get_type(port) & kSynthTypes) != 0;
}

// The first port that fits; false if there is none.
bool find_port(snd_seq_t* seq, const char* wanted, snd_seq_addr_t* out) {
    snd_seq_client_info_t* client;
    snd_seq_port_info_t* port;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    const int self = snd_seq_client_id(seq);
    snd_seq_client_info_set_client(client, -1);
    while (snd_seq_query_next_client(seq, client) >= 0) {
        const int id = snd_seq_client_info_get_client(client);
        if (id == self || id == SND_SEQ_CLIENT_SYSTEM) continue;
        snd_seq_port_info_set_client(port, id);
        snd_seq_port_info_set_port(port, -1);
        while (snd_seq_query_next_port(seq, port) >= 0) {
            if (fits(client, port, wanted)) {
                out->client = static_cast<unsigned char>(id);
                out->port = static_cast<unsigned char>(snd_seq_port_info_get_port(port));
                return true;
            }
        }
    }
    return false;
}

uint32_t result_of(int error) {
    switch (-error) {
        case EBUSY: return kResultAllocated;
        case ENOMEM: return kResultNoMemory;
        default: return kResultError;
    }
}

void release() {
    if (device.encoder != nullptr) snd_midi_event_free(device.encoder);
    if (device.seq != nullptr) snd_seq_close(device.seq);
    device = Device{};
}

void send(snd_seq_event_t* ev) {
    snd_seq_ev_set_source(ev, static_cast<unsigned char>(device.port));
    snd_seq_ev_set_subs(ev);
    snd_seq_ev_set_direct(ev);
    snd_seq_event_output_direct(device.seq, ev);
}

uint32_t open(Handle* handle, uintptr_t) {
    if (device.seq != nullptr) return kResultAllocated;
    QuietAlsa quiet_errors;
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0) return kResultNoDevice;
    device.seq = seq;
    snd_seq_set_client_name(seq, "plugkit midi");
    snd_seq_addr_t target{};
    if (!find_port(seq, wanted_port, &target)) {
        release();
        return kResultNoDevice;
    }
    int error = snd_seq_create_simple_port(seq, "out", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                           SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (error < 0) {
        release();
        return result_of(error);
    }
    device.port = error;
    error = snd_seq_connect_to(seq, device.port, target.client, target.port);
    if (error >= 0) error = snd_midi_event_new(16, &device.encoder);
    if (error < 0) {
        release();
        return result_of(error);
    }
    *handle = reinterpret_cast<Handle>(&device);
    return kResultOk;
}

// Bytes of a message with this status byte.
long message_length(unsigned status) {
    if (status < 0xC0 || (status >= 0xE0 && status < 0xF0) || status == 0xF2) return 3;
    if (status < 0xE0 || status == 0xF1 || status == 0xF3) return 2;
    return 1;
}

uint32_t short_msg(Handle handle, uint32_t message) {
    if (handle != reinterpret_cast<Handle>(&device) || device.seq == nullptr) return kResultError;
    const unsigned char bytes[3] = {static_cast<unsigned char>(message & 0xFF),
                                    static_cast<unsigned char>(message >> 8 & 0xFF),
                                    static_cast<unsigned char>(message >> 16 & 0xFF)};
    if (bytes[0] < 0x80) return kResultError;  // no status byte
    QuietAlsa quiet_errors;
    snd_seq_event_t ev;
    snd_seq_ev_clear(&ev);
    snd_midi_event_reset_encode(device.encoder);
    if (snd_midi_event_encode(device.encoder, bytes, message_length(bytes[0]), &ev) > 0 &&
        ev.type != SND_SEQ_EVENT_NONE) {
        send(&ev);
    }
    return kResultOk;
}

uint32_t reset(Handle handle) {
    if (handle != reinterpret_cast<Handle>(&device) || device.seq == nullptr) return kResultError;
    QuietAlsa quiet_errors;
    for (unsigned char channel = 0; channel < 16; ++channel) {
        static const unsigned kControllers[] = {MIDI_CTL_ALL_SOUNDS_OFF, MIDI_CTL_ALL_NOTES_OFF,
                                                MIDI_CTL_RESET_CONTROLLERS};
        for (unsigned controller : kControllers) {
            snd_seq_event_t ev;
            snd_seq_ev_clear(&ev);
            snd_seq_ev_set_controller(&ev, channel, controller, 0);
            send(&ev);
        }
    }
    return kResultOk;
}

uint32_t close(Handle handle) {
    if (handle != reinterpret_cast<Handle>(&device) || device.seq == nullptr) return kResultError;
    QuietAlsa quiet_errors;
    release();
    return kResultOk;
}

const Output kOutput = {open, short_msg, reset, close};

}  // namespace

const Output& alsa_output() { return kOutput; }
void set_alsa_port(const char* port) { wanted_port = port; }

}  // namespace midi
