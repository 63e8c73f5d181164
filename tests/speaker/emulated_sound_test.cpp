// What the emulated speaker sounds like: the square wave's pitch for the
// note table's range, silence around it; and, where this machine lets us
// reach the real timer, that the hardware does what the model does.
#include <gtest/gtest.h>

#include <vector>

#include "audio.h"
#include "backends.h"
#include "emulated.h"
#include "ports.h"
#include "timing.h"

namespace speaker {
namespace {

constexpr uint32_t kRate = EmulatedSpeaker::kSampleRate;

audio::Pcm render(EmulatedSpeaker& speaker, double seconds) {
    std::vector<int16_t> samples(static_cast<std::size_t>(seconds * kRate));
    speaker.render(samples.data(), samples.size(), kRate);
    audio::Pcm pcm;
    pcm.sample_rate = static_cast<int>(kRate);
    for (int16_t s : samples) pcm.samples.push_back(static_cast<float>(s) / 32768.0f);
    return pcm;
}

// tone_on's writes from silence.
void sound(EmulatedSpeaker& speaker, uint32_t hz) {
    const uint32_t divisor = kTimerClockHz / hz;
    speaker.write(kControlPort, static_cast<uint8_t>(speaker.read(kControlPort, 0) | 3), 0);
    speaker.write(kModePort, 0xB6, 0);
    speaker.write(kCounter2Port, static_cast<uint8_t>(divisor & 0xFF), 0);
    speaker.write(kCounter2Port, static_cast<uint8_t>(divisor >> 8), 0);
}

TEST(EmulatedSound, SquareWaveAtTheTimersRate) {
    // The heard pitch is 1193181 / divisor: 440.13 Hz for "A_1".
    for (uint32_t hz : {65u, 131u, 440u, 1975u}) {
        EmulatedSpeaker speaker;
        speaker.stream_started();
        sound(speaker, hz);
        const audio::Pcm pcm = render(speaker, 0.5);
        const double expected = static_cast<double>(kTimerClockHz) / (kTimerClockHz / hz);
        EXPECT_NEAR(audio::estimate_pitch(audio::slice(pcm, 0.1, 0.3)), expected,
                    expected * 0.003)
            << hz;
        EXPECT_GT(audio::rms(audio::slice(pcm, 0.1, 0.3)), 0.1) << hz;
    }
}

TEST(EmulatedSound, SilentUnlessGateAndDataAreBothSet) {
    struct Case {
        uint8_t bits;
        bool heard;
    } cases[] = {{0, false}, {1, false}, {2, false}, {3, true}};
    for (const Case& c : cases) {
        EmulatedSpeaker speaker;
        speaker.stream_started();
        sound(speaker, 440);
        speaker.write(kControlPort, c.bits, 0);
        const audio::Pcm pcm = audio::slice(render(speaker, 0.3), 0.1, 0.2);
        EXPECT_EQ(!audio::is_silent(pcm), c.heard) << int{c.bits};
    }
    // Off after a tone: silence within a few tens of milliseconds.
    EmulatedSpeaker speaker;
    speaker.stream_started();
    sound(speaker, 440);
    render(speaker, 0.1);
    speaker.write(kControlPort, speaker.read(kControlPort, 0) & 0xFC, 0);
    EXPECT_FALSE(speaker.active() && audio::is_silent(render(speaker, 0.005)));
    EXPECT_TRUE(audio::is_silent(audio::slice(render(speaker, 0.2), 0.06, 0.14)));
    EXPECT_FALSE(speaker.active());
}

// On a machine whose kernel lets us reach the ports, the real timer must
// do what the model does: with the gate alone (the speaker data bit stays
// clear, so nothing is heard), OUT2 in port 0x61 toggles at twice the rate
// of the programmed square wave.
TEST(RealPorts, TimerRunsAtTheProgrammedRate) {
    const PortLayer* ports = open_ioperm_ports();
    if (ports == nullptr) GTEST_SKIP() << "no access to I/O ports here (ioperm)";
    const uint8_t saved = ports->port_in(kControlPort);
    ports->port_out(kControlPort, static_cast<uint8_t>((saved & 0xFC) | 1));
    ports->port_out(kModePort, 0xB6);
    ports->port_out(kCounter2Port, 0x00);  // 0x1000: 291.3 Hz
    ports->port_out(kCounter2Port, 0x10);
    int edges = 0;
    bool last = (ports->port_in(kControlPort) & 0x20) != 0;
    const int64_t start = timing::now_ns();
    const int64_t end = start + 200 * timing::kNanosPerMs;
    int64_t now = start;
    while (now < end) {
        const bool level = (ports->port_in(kControlPort) & 0x20) != 0;
        if (level != last) ++edges;
        last = level;
        now = timing::now_ns();
    }
    ports->port_out(kControlPort, saved & 0xFC);
    const double hz = edges / 2.0 / (static_cast<double>(now - start) / 1e9);
    EXPECT_NEAR(hz, 1193181.0 / 4096, 15.0);
}

}  // namespace
}  // namespace speaker
