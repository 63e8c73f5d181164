// The emulated speaker's clock and sound. See emulated.h.
#include "emulated.h"

namespace speaker {
namespace {

// High-pass pole: about 20 Hz at 48 kHz. Lower would keep the lowest tones
// squarer but let every start and stop of a tone ring out for longer.
constexpr double kDcPole = 0.9974;
// A square wave through the high-pass swings +-0.5: about -10 dBFS.
constexpr double kLevel = 20000.0;


}  // namespace

void EmulatedSpeaker::catch_up(int64_t now_ns) {
    if (streaming_) return;
    if (!clock_set_ || now_ns < origin_ns_) {
        clock_set_ = true;
        origin_ns_ = now_ns;
        origin_ticks_ = pit_.elapsed_ticks();
        return;
    }
    const uint64_t due = origin_ticks_ + ticks_in_ns(static_cast<uint64_t>(now_ns - origin_ns_));
    if (due > pit_.elapsed_ticks()) pit_.advance(due - pit_.elapsed_ticks());
}

uint8_t EmulatedSpeaker::read(uint16_t port, int64_t now_ns) {
    catch_up(now_ns);
    return pit_.read(port);
}

void EmulatedSpeaker::write(uint16_t port, uint8_t value, int64_t now_ns) {
    catch_up(now_ns);
    pit_.write(port, value);
}

void EmulatedSpeaker::stream_started() { streaming_ = true; }

void EmulatedSpeaker::stream_stopped(int64_t now_ns) {
    streaming_ = false;
    clock_set_ = true;
    origin_ns_ = now_ns;
    origin_ticks_ = pit_.elapsed_ticks();
    last_in_ = 0.0;
    last_out_ = 0.0;
}

void EmulatedSpeaker::render(int16_t* out, std::size_t frames, uint32_t rate) {
    if (rate == 0) rate = kSampleRate;
    for (std::size_t i = 0; i < frames; ++i) {
        sample_phase_ += kTimerClockHz;
        const uint64_t ticks = sample_phase_ / rate;
        sample_phase_ %= rate;
        double level = 0.0;
        if (ticks > 0) {
            level = static_cast<double>(pit_.advance(ticks)) / static_cast<double>(ticks);
        } else {
            level = pit_.speaker_line() ? 1.0 : 0.0;
        }
        const double y = level - last_in_ + kDcPole * last_out_;
        last_in_ = level;
        last_out_ = y;
        double sample = y * kLevel;
        if (sample > 32767.0) sample = 32767.0;
        if (sample < -32768.0) sample = -32768.0;
        out[i] = static_cast<int16_t>(sample);
    }
}

bool EmulatedSpeaker::active() const {
    return pit_.sounding() || last_out_ > 1e-4 || last_out_ < -1e-4;
}

}  // namespace speaker
