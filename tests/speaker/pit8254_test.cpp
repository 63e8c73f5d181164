// The 8254 channel 2 model: count loading, OUT2 in each mode, the gate,
// latches, and the fast advance() against the edge-by-edge reference.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <random>
#include <vector>

#include "emulated.h"
#include "pit8254.h"

namespace speaker {
namespace {

// Programs channel 2: mode register, then the count bytes the mode takes.
void program(Pit8254& pit, uint8_t mode_byte, uint16_t count) {
    pit.write(kModePort, mode_byte);
    const int rw = (mode_byte >> 4) & 3;
    if (rw == 1 || rw == 3) pit.write(kCounter2Port, static_cast<uint8_t>(count & 0xFF));
    if (rw == 2 || rw == 3) pit.write(kCounter2Port, static_cast<uint8_t>(count >> 8));
}

// OUT2 after each of `edges` clock edges, as '1' / '0'.
std::string out_trace(Pit8254& pit, int edges) {
    std::string trace;
    for (int i = 0; i < edges; ++i) {
        pit.advance_by_edges(1);
        trace += pit.out2() ? '1' : '0';
    }
    return trace;
}

uint16_t latched_count(Pit8254& pit) {
    pit.write(kModePort, 0x80);  // counter latch, channel 2
    const uint8_t low = pit.read(kCounter2Port);
    const uint8_t high = pit.read(kCounter2Port);
    return static_cast<uint16_t>(low | (high << 8));
}

TEST(Pit8254, OutputByModeCountAndGate) {
    struct Case {
        const char* what;
        uint8_t mode_byte;
        uint16_t count;
        bool gate;
        const char* trace;  // OUT2 after each edge, the load edge first
    } cases[] = {
        // mode 3, even count: N/2 edges high, N/2 low, from the load edge on
        {"square 4", 0xB6, 4, true, "110011001100"},
        // odd count: (N+1)/2 high, (N-1)/2 low
        {"square 5", 0xB6, 5, true, "1110011100111"},
        {"square 3", 0xB6, 3, true, "11011011"},
        // gate low: OUT2 stays high, nothing counts
        {"square, gate low", 0xB6, 4, false, "11111111"},
        // mode 2: low for one edge every N
        {"rate 4", 0xB4, 4, true, "1110111011"},
        // mode 0: low until the count runs out, then high for good
        {"terminal count 3", 0xB0, 3, true, "0001111111"},
        {"terminal count, gate low", 0xB0, 3, false, "0000000000"},
        // mode 4: one low edge N+1 edges after the count is written
        {"strobe 3", 0xB8, 3, true, "1110111111"},
        // mode 1 and 5 wait for a rising gate
        {"one-shot, no trigger", 0xB2, 3, true, "1111111111"},
        {"strobe on trigger, no trigger", 0xBA, 3, true, "1111111111"},
        // modes 6 and 7 are 2 and 3
        {"mode 7 is square", 0xBE, 4, true, "110011001100"},
        // low byte only: the count is 4
        {"square, low byte only", 0x96, 4, true, "110011001100"},
    };
    for (const Case& c : cases) {
        Pit8254 pit;
        pit.write(kControlPort, c.gate ? 1 : 0);
        program(pit, c.mode_byte, c.count);
        EXPECT_EQ(out_trace(pit, static_cast<int>(std::strlen(c.trace))), c.trace) << c.what;
    }
}

TEST(Pit8254, GateTriggersAndSuspends) {
    // Mode 1: a rising gate starts a low pulse of N edges after one load edge.
    Pit8254 one_shot;
    program(one_shot, 0xB2, 3);
    one_shot.write(kControlPort, 1);
    EXPECT_EQ(out_trace(one_shot, 6), "000111");

    // Mode 3: gate low forces OUT2 high at once; a rising gate restarts the
    // half period from the full count.
    Pit8254 square;
    square.write(kControlPort, 1);
    program(square, 0xB6, 6);
    EXPECT_EQ(out_trace(square, 5), "11100");
    square.write(kControlPort, 0);
    EXPECT_TRUE(square.out2());
    EXPECT_EQ(out_trace(square, 3), "111");
    square.write(kControlPort, 1);
    EXPECT_EQ(out_trace(square, 8), "11100011");

    // Mode 5: a rising gate loads, the strobe comes N edges later.
    Pit8254 strobe;
    program(strobe, 0xBA, 2);
    strobe.write(kControlPort, 1);
    EXPECT_EQ(out_trace(strobe, 5), "11011");
}

TEST(Pit8254, CountLoadingAndReading) {
    Pit8254 pit;
    pit.write(kControlPort, 1);
    program(pit, 0xB6, 2711);  // 440 Hz, as tone_on loads it
    EXPECT_EQ(pit.count_register(), 2711);
    pit.advance(1);            // the load edge
    EXPECT_EQ(latched_count(pit), 2711);
    pit.advance(10);           // square wave counts down by two
    EXPECT_EQ(latched_count(pit), 2711 - 1 - 2 * 9);

    // A latched count holds while the counter runs on, until it is read.
    pit.write(kModePort, 0x80);
    pit.advance(100);
    const uint8_t low = pit.read(kCounter2Port);
    pit.advance(100);
    const uint8_t high = pit.read(kCounter2Port);
    EXPECT_EQ(low | (high << 8), 2711 - 1 - 2 * 9);

    // A new count while counting takes effect at the next reload: the
    // current half period ends as it was loaded.
    Pit8254 retune;
    retune.write(kControlPort, 1);
    program(retune, 0xB6, 8);
    retune.advance(2);
    retune.write(kCounter2Port, 4);
    retune.write(kCounter2Port, 0);
    EXPECT_EQ(out_trace(retune, 9), "110011001");

    // Count 0 is 65536: a half period of 32768 edges.
    Pit8254 longest;
    longest.write(kControlPort, 1);
    program(longest, 0xB6, 0);
    longest.advance(32768);
    EXPECT_TRUE(longest.out2());
    longest.advance(1);
    EXPECT_FALSE(longest.out2());

    // BCD: "1000" counts 1000 edges, read back in BCD.
    Pit8254 bcd;
    bcd.write(kControlPort, 1);
    program(bcd, 0xB1, 0x1000);
    bcd.advance(1 + 1);
    EXPECT_EQ(latched_count(bcd), 0x0999);
    bcd.advance(999);
    EXPECT_TRUE(bcd.out2());
}

TEST(Pit8254, ReadBackAndPort61) {
    Pit8254 pit;
    pit.write(kControlPort, 0x0D);   // gate, and both check enables
    program(pit, 0xB6, 100);
    pit.write(kModePort, 0xE8);      // read-back: status of channel 2
    EXPECT_EQ(pit.read(kCounter2Port), 0x80 | 0x40 | 0x36);  // OUT high, null count
    pit.advance(1);
    pit.write(kModePort, 0xE8);
    EXPECT_EQ(pit.read(kCounter2Port), 0x80 | 0x36);

    // Port 0x61: bits 0-3 as written, OUT2 in bit 5, the refresh toggle in
    // bit 4; writes to bits 4-7 change nothing.
    EXPECT_EQ(pit.read(kControlPort) & 0x2F, 0x2D);
    pit.write(kControlPort, 0xF0);
    EXPECT_EQ(pit.read(kControlPort) & 0x0F, 0);
    bool seen[2] = {false, false};
    for (int i = 0; i < 4; ++i) {
        seen[(pit.read(kControlPort) >> 4) & 1] = true;
        pit.advance(18);
    }
    EXPECT_TRUE(seen[0] && seen[1]);
    EXPECT_EQ(pit.read(kModePort), 0xFF);
    // Control words for channels 0 and 1 leave channel 2 alone.
    pit.write(kModePort, 0x36);
    pit.write(kModePort, 0x76);
    EXPECT_EQ(pit.mode(), 3);
}

// The fast path against the reference, over random programs and spans.
TEST(Pit8254, AdvanceMatchesEdgeByEdge) {
    std::mt19937 rng(1234);
    const uint8_t modes[] = {0xB0, 0xB2, 0xB4, 0xB6, 0xB8, 0xBA, 0xB7, 0x96, 0xA6};
    for (int round = 0; round < 300; ++round) {
        Pit8254 fast;
        Pit8254 slow;
        for (int step = 0; step < 12; ++step) {
            const int what = static_cast<int>(rng() % 5);
            if (what == 0) {
                const uint8_t mode = modes[rng() % (sizeof modes)];
                const auto count = static_cast<uint16_t>(rng() % 3 == 0 ? rng() % 6 : rng() % 400);
                program(fast, mode, count);
                program(slow, mode, count);
            } else if (what == 1) {
                const auto bits = static_cast<uint8_t>(rng() % 4);
                fast.write(kControlPort, bits);
                slow.write(kControlPort, bits);
            } else {
                const uint64_t span = rng() % 3 == 0 ? rng() % 5 : rng() % 3000;
                ASSERT_EQ(fast.advance(span), slow.advance_by_edges(span)) << round;
                ASSERT_EQ(fast.out2(), slow.out2()) << round;
                ASSERT_EQ(latched_count(fast), latched_count(slow)) << round;
                ASSERT_EQ(fast.read(kControlPort), slow.read(kControlPort)) << round;
            }
        }
    }
}

TEST(Pit8254, LongSpansCostNothing) {
    // An hour at the highest tone is 2.4e8 half periods: skipped, not walked.
    Pit8254 pit;
    pit.write(kControlPort, 3);
    program(pit, 0xB6, 36);
    const uint64_t hour = uint64_t{kTimerClockHz} * 3600;
    const uint64_t high = pit.advance(hour);
    EXPECT_NEAR(static_cast<double>(high) / static_cast<double>(hour), 0.5, 1e-6);
    EXPECT_EQ(pit.elapsed_ticks(), hour);
}

TEST(EmulatedSpeaker, WallClockDrivesTheModelWithoutAStream) {
    EmulatedSpeaker speaker;
    speaker.write(kControlPort, 3, 0);
    speaker.write(kModePort, 0xB6, 0);
    speaker.write(kCounter2Port, 0x97, 0);
    speaker.write(kCounter2Port, 0x0A, 0);
    // 440 Hz: OUT2 is high in the first half period and low in the second.
    const int64_t half_ns = 1000000000LL / 880;
    EXPECT_TRUE(speaker.read(kControlPort, half_ns / 2) & 0x20);
    EXPECT_FALSE(speaker.read(kControlPort, half_ns + half_ns / 2) & 0x20);
    EXPECT_TRUE(speaker.read(kControlPort, 2 * half_ns + half_ns / 2) & 0x20);
}

}  // namespace
}  // namespace speaker
