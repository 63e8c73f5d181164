// The emulated speaker: the 8254 model with a clock, and the sound it makes.
//
// Time passes for the model in one of two ways. While a sound stream runs,
// the stream's sample clock drives it: render() advances the model by the
// input cycles of each sample, and port accesses land at the point the
// stream has reached. Without a stream (no sound device, or none open yet)
// each port access first brings the model up to the wall clock, so OUT2 in
// port 0x61 and the counter read back as time goes by.
//
// No locking here: the backend that owns an EmulatedSpeaker serialises the
// command thread's port accesses and the sound thread's render() calls.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pit8254.h"

namespace speaker {

class EmulatedSpeaker {
public:
    static constexpr uint32_t kSampleRate = 48000;

    uint8_t read(uint16_t port, int64_t now_ns);
    void write(uint16_t port, uint8_t value, int64_t now_ns);

    // A stream takes over the clock / hands it back to the wall clock.
    void stream_started();
    void stream_stopped(int64_t now_ns);
    bool streaming() const { return streaming_; }

    // Fills `frames` mono 16-bit samples at `rate` Hz from the speaker line:
    // the share of each sample's input cycles for which the line was high,
    // through a DC-blocking high-pass (a loudspeaker holds no steady
    // level), so a line held high or low is silence and a square wave at
    // the timer's rate is heard.
    void render(int16_t* out, std::size_t frames, uint32_t rate);

    // The speaker is sounding (gate and data bits set) or still ringing out.
    bool active() const;

    Pit8254& pit() { return pit_; }

private:
    void catch_up(int64_t now_ns);

    Pit8254 pit_;
    bool streaming_ = false;
    bool clock_set_ = false;
    int64_t origin_ns_ = 0;
    uint64_t origin_ticks_ = 0;
    uint64_t sample_phase_ = 0;  // input cycles owed, in units of 1/rate
    double last_in_ = 0.0;
    double last_out_ = 0.0;
};

}  // namespace speaker
