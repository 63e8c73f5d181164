#include "handler.h"

#include "notation.h"
#include "plugframe.h"
#include "timing.h"

namespace midi {

namespace {

// The MIDI statuses of this plug-in.
enum : int32_t {
    kNoDevice = 33,        // no MIDI output device
    kDeviceInUse = 34,     // the device is already in use
    kNoMemory = 35,        // not enough memory for the MIDI output
    kRefused = 36,         // the MIDI output refused the request
};

Settings state;
const Output* output = nullptr;
const Clock* clock = nullptr;

const Output& out() { return output != nullptr ? *output : system_output(); }

// Plays notes on the open device. With no device open nothing is sent, but
// every wait still happens.
class MidiVoice final : public notes::Voice {
public:
    void sound_on(uint16_t value) override {
        if (value > 127 || !state.open) return;
        // A MIDI channel is 4 bits and data bytes are 7 bits: the settings
        // keep all 8 bits, but no setting may turn a data byte into a
        // status byte or change the kind of message.
        const auto channel = static_cast<uint8_t>(state.channel & 0x0F);
        out().short_msg(state.handle, short_message(static_cast<uint8_t>(0xC0 | channel),
                                                    static_cast<uint8_t>(state.instrument & 0x7F), 0));
        out().short_msg(state.handle, short_message(static_cast<uint8_t>(0x90 | channel),
                                                    static_cast<uint8_t>(value),
                                                    static_cast<uint8_t>(state.velocity & 0x7F)));
    }
    void sound_off() override {
        if (state.open) out().reset(state.handle);
    }
    int64_t now_ns() override { return clock != nullptr ? clock->now_ns() : timing::now_ns(); }
    void wait_until_ns(int64_t deadline_ns) override {
        if (clock != nullptr) {
            clock->wait_until_ns(deadline_ns);
        } else {
            timing::wait_until_ns(deadline_ns);
        }
    }
};

MidiVoice voice;

constexpr notes::Column kColumn = notes::Column::midi_note;

void report(int32_t status) {
    if (status != plug::kOk) plug::set_status(status);
}

void open_device() {
    if (state.open) return;
    Handle handle = 0;
    switch (out().open(&handle, plug::first_host_value())) {
        case kResultOk:
            state.handle = handle;
            state.open = true;
            break;
        case kResultNoDevice: report(kNoDevice); break;
        case kResultAllocated: report(kDeviceInUse); break;
        case kResultNoMemory: report(kNoMemory); break;
        default: report(kRefused); break;
    }
}

void close_device() {
    if (!state.open) return;
    switch (out().close(state.handle)) {
        case kResultOk: state.open = false; break;
        case kResultNoMemory: report(kNoMemory); break;
        default: report(kRefused); break;
    }
}

// INSTRUMENT, VELOCITY, CHANNEL: the low 8 bits of the value; a value that
// is not an integer changes nothing and reports 25.
void store_byte(uint8_t* setting) {
    int32_t value = 0;
    if (!plug::text_to_int(plug::next_field(), &value)) {
        report(plug::kNotANumber);
        return;
    }
    *setting = static_cast<uint8_t>(static_cast<uint32_t>(value) & 0xFFu);
}

// The second field of SONG, ON, R and a timed note; nullptr (status 2) when
// it is blank.
char* required_field() {
    char* field = plug::next_field();
    if (plug::is_blank(field)) {
        report(plug::kEmptyField);
        return nullptr;
    }
    return field;
}

}  // namespace

void startup() {}

void command(char* word) {
    using plug::same_text;
    if (same_text(word, "OPEN")) {
        open_device();
    } else if (same_text(word, "CLOSE")) {
        close_device();
    } else if (same_text(word, "SONG")) {
        if (char* song = required_field()) report(notes::play_song(voice, kColumn, song));
    } else if (same_text(word, "ON")) {
        char* note = plug::upper_in_place(plug::next_field());
        if (plug::is_blank(note)) {
            report(plug::kEmptyField);
            return;
        }
        report(notes::start_held_note(voice, kColumn, note));
    } else if (same_text(word, "OFF")) {
        voice.sound_off();
    } else if (same_text(word, "INSTRUMENT")) {
        store_byte(&state.instrument);
    } else if (same_text(word, "VELOCITY")) {
        store_byte(&state.velocity);
    } else if (same_text(word, "CHANNEL")) {
        store_byte(&state.channel);
    } else if (same_text(word, "R")) {
        if (char* duration = required_field()) report(notes::rest(voice, duration));
    } else {
        if (char* duration = required_field()) {
            report(notes::play_timed_note(voice, kColumn, word, duration));
        }
    }
}

void unload() {
    // Closed without a reset first; the result does not matter any more.
    if (state.open) out().close(state.handle);
    state.open = false;
}

const Settings& settings() { return state; }

void reset_for_tests() {
    state = Settings{};
    output = nullptr;
    clock = nullptr;
}

void use_output(const Output* o) { output = o; }
void use_clock(const Clock* c) { clock = c; }

}  // namespace midi
