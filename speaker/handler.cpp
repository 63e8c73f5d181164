// The speaker's command handler. The voice it gives the notation is the
// timer's channel 2: sound_on is tone_on, sound_off is tone_off.
#include "handler.h"

#include "notation.h"
#include "plugframe.h"
#include "ports.h"
#include "timing.h"

namespace speaker {
namespace {

NowFn clock_now = nullptr;
WaitUntilFn clock_wait_until = nullptr;

class SpeakerVoice final : public notes::Voice {
public:
    // A refused frequency sets status 14 in tone_on and stops nothing: the
    // wait and tone_off still follow, so the duration passes in silence.
    void sound_on(uint16_t value) override { tone_on(value); }
    void sound_off() override { tone_off(); }
    int64_t now_ns() override { return clock_now != nullptr ? clock_now() : timing::now_ns(); }
    void wait_until_ns(int64_t deadline_ns) override {
        if (clock_wait_until != nullptr) {
            clock_wait_until(deadline_ns);
        } else {
            timing::wait_until_ns(deadline_ns);
        }
    }
};

SpeakerVoice voice;

// The argument of SONG, ON, R and the timed note: status 2 when blank.
char* required_field() {
    char* field = plug::next_field();
    if (plug::is_blank(field)) {
        plug::set_status(plug::kEmptyField);
        return nullptr;
    }
    return field;
}

// The notation reports 14 and 25 as results; a voice's own 14 is already in
// the last status and stays there when the result is 0.
void report(int32_t status) {
    if (status != plug::kOk) plug::set_status(status);
}

// The first use of the speaker chooses and opens its port layer, which can
// take a while (a sound device). Done before a song or a timed note starts
// its clock, so that this time is not taken from the first note.
void get_ready() { (void)current_port_layer(); }

}  // namespace

void set_clock(NowFn now, WaitUntilFn wait_until) {
    clock_now = now;
    clock_wait_until = wait_until;
}

void command(char* word) {
    if (plug::same_text(word, "SONG")) {
        if (const char* song = required_field()) {
            get_ready();
            report(notes::play_song(voice, notes::Column::hertz, song));
        }
    } else if (plug::same_text(word, "ON")) {
        char* note = plug::upper_in_place(plug::next_field());
        if (plug::is_blank(note)) {
            plug::set_status(plug::kEmptyField);
            return;
        }
        report(notes::start_held_note(voice, notes::Column::hertz, note));
    } else if (plug::same_text(word, "OFF")) {
        tone_off();
    } else if (plug::same_text(word, "R")) {
        // The speaker is not touched: a held tone sounds on through the rest.
        if (const char* duration = required_field()) report(notes::rest(voice, duration));
    } else {
        if (const char* duration = required_field()) {
            get_ready();
            report(notes::play_timed_note(voice, notes::Column::hertz, word, duration));
        }
    }
}

}  // namespace speaker
