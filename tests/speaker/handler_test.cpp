// The speaker's commands through CommandProc, against the recording port
// layer and a virtual clock: the port sequence byte by byte, the waits, the
// statuses.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "handler.h"
#include "plugframe.h"
#include "ports.h"
#include "recording.h"
#include "test_block.h"

namespace speaker {
namespace {

struct Access {
    char kind;  // 'i' read, 'o' write, 't' tone
    int port;
    int value;
    int64_t at_ms;
    bool operator==(const Access& o) const {
        return kind == o.kind && port == o.port && value == o.value && at_ms == o.at_ms;
    }
};

std::ostream& operator<<(std::ostream& os, const Access& a) {
    return os << a.kind << " " << std::hex << "0x" << a.port << " 0x" << a.value << std::dec
              << " @" << a.at_ms << "ms";
}

std::vector<Access> accesses() {
    std::vector<Access> out;
    for (std::size_t i = 0; i < recording::size(); ++i) {
        const PortEvent& e = recording::event(i);
        const char kind = e.kind == PortEvent::in ? 'i' : e.kind == PortEvent::out ? 'o' : 't';
        out.push_back(Access{kind, e.port, e.value, e.at_ns / 1000000});
    }
    return out;
}

int32_t command(std::initializer_list<std::string> fields) {
    return CommandProc(plugtest::make_block(512, fields).data());
}

class Speaker : public ::testing::Test {
protected:
    void SetUp() override {
        plug::reset_frame_for_tests();
        recording::reset();
        use_port_layer(&recording::port_layer());
        set_clock(recording::now_ns, recording::wait_until_ns);
    }
    void TearDown() override {
        use_port_layer(nullptr);
        set_clock(nullptr, nullptr);
    }
    // Port 0x61 as the speaker finds it (bits 2-3 set, as firmware leaves
    // the check enables), and the log emptied.
    void start_from(uint8_t port61) {
        recording::pit().write(0x61, port61);
        recording::reset_log();
    }
};

// OUT2 reads back high in bit 5 of port 0x61 until a count is loaded.
constexpr int kOut2 = 0x20;

// The reference sequence from silence: read 0x61, write it back with bits 0
// and 1 set, the mode byte, then the count low and high.
std::vector<Access> from_silence(int port61, int divisor, int64_t at_ms = 0) {
    return {{'i', 0x61, port61, at_ms}, {'o', 0x61, port61 | 3, at_ms},
            {'o', 0x43, 0xB6, at_ms}, {'o', 0x42, divisor & 0xFF, at_ms},
            {'o', 0x42, divisor >> 8, at_ms}};
}

TEST_F(Speaker, HeldToneFromSilenceByNameNumberAndWrap) {
    // 1193181 div 440 = 2711 = 0x0A97; 65976 keeps its low 16 bits: 440.
    for (const char* note : {"A_1", "a_1", "440", "65976", "$1B8"}) {
        SetUp();
        start_from(0x0C);
        EXPECT_EQ(command({"ON", note}), 0) << note;
        EXPECT_EQ(accesses(), from_silence(kOut2 | 0x0C, 2711)) << note;
        EXPECT_TRUE(recording::pit().sounding()) << note;
    }
}

TEST_F(Speaker, DivisorsAtTheEndsOfTheRange) {
    struct Case {
        const char* hz;
        int divisor;
    } cases[] = {{"37", 32248}, {"32767", 36}, {"1000", 1193}};
    for (const Case& c : cases) {
        SetUp();
        EXPECT_EQ(command({"ON", c.hz}), 0) << c.hz;
        EXPECT_EQ(accesses(), from_silence(kOut2, c.divisor)) << c.hz;
    }
}

TEST_F(Speaker, RefusedValuesTouchNoPort) {
    for (const char* note : {"36", "0", "32768", "65535", "-1", "XYZ", "H_1", "A_1 "}) {
        SetUp();
        const int32_t status = command({"ON", note});
        EXPECT_EQ(status, 14) << note;
        EXPECT_EQ(StatProc(), 14) << note;
        EXPECT_TRUE(accesses().empty()) << note;
    }
}

TEST_F(Speaker, RetuningWhileSoundingWritesOnlyTheCount) {
    EXPECT_EQ(command({"ON", "A_1"}), 0);
    recording::reset_log();
    const uint8_t sounding = recording::pit().read(0x61);
    EXPECT_EQ(command({"ON", "C_1"}), 0);  // 261 Hz: divisor 4571 = 0x11DB
    const std::vector<Access> want = {
        {'i', 0x61, sounding, 0}, {'o', 0x42, 0xDB, 0}, {'o', 0x42, 0x11, 0}};
    EXPECT_EQ(accesses(), want);
    // Either bit alone counts as sounding.
    recording::pit().write(0x61, 0x02);
    recording::reset_log();
    EXPECT_EQ(command({"ON", "440"}), 0);
    EXPECT_EQ(accesses().size(), 3u);
}

TEST_F(Speaker, OffClearsBitsZeroAndOneAndWritesTheRestBack) {
    // From silence: read, and write back what was read without bits 0-1.
    start_from(0x0C);
    EXPECT_EQ(command({"off"}), 0);
    std::vector<Access> got = accesses();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].kind, 'i');
    EXPECT_EQ(got[0].port, 0x61);
    EXPECT_EQ(got[1], (Access{'o', 0x61, got[0].value & 0xFC, 0}));
    EXPECT_EQ(got[0].value & 0x0F, 0x0C);

    // While sounding: the timer is not written, the speaker falls silent.
    EXPECT_EQ(command({"ON", "A_1"}), 0);
    recording::reset_log();
    EXPECT_EQ(command({"OFF", "ignored"}), 0);
    got = accesses();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1].value, got[0].value & 0xFC);
    EXPECT_FALSE(recording::pit().sounding());
    EXPECT_EQ(recording::pit().count_register(), 2711);
}

TEST_F(Speaker, TimedNoteSoundsForItsDurationThenStops) {
    EXPECT_EQ(command({"c_1", "500"}), 0);  // "C_1": 261 Hz
    std::vector<Access> want = from_silence(kOut2, 4571);
    want.push_back({'i', 0x61, 0, 500});
    want.push_back({'o', 0x61, 0, 500});
    std::vector<Access> got = accesses();
    ASSERT_EQ(got.size(), want.size());
    // OUT2 (bit 5) and the refresh toggle (bit 4) read back as they were at
    // 500 ms; the write keeps them, without bits 0 and 1.
    want[5].value = got[5].value;
    want[6].value = got[5].value & 0xFC;
    EXPECT_EQ(got, want);
    EXPECT_EQ(got[5].value & 3, 3);
    EXPECT_FALSE(recording::pit().sounding());
}

TEST_F(Speaker, RefusedTimedNotePassesInSilence) {
    // 40000 is no frequency: 14, nothing sounds, but the 100 ms pass and
    // tone_off runs.
    EXPECT_EQ(command({"40000", "100"}), 14);
    const std::vector<Access> got = accesses();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].kind, 'i');
    EXPECT_EQ(got[0].at_ms, 100);
    EXPECT_EQ(got[1].kind, 'o');
    EXPECT_EQ(recording::now_ns(), 100 * 1000000);
}

TEST_F(Speaker, SongGoesOnAfterARefusedItem) {
    EXPECT_EQ(command({"SONG", "40000;100 C;100"}), 14);
    const std::vector<Access> got = accesses();
    // 40000: tone_off at 100 ms; C (131 Hz, divisor 9108 = 0x2394) from 100
    // to 200 ms.
    ASSERT_EQ(got.size(), 2u + 5u + 2u);
    EXPECT_EQ(got[1].at_ms, 100);
    const std::vector<Access> c_on = from_silence(got[2].value, 9108, 100);
    EXPECT_EQ(std::vector<Access>(got.begin() + 2, got.begin() + 7), c_on);
    EXPECT_EQ(got[8].at_ms, 200);
    EXPECT_FALSE(recording::pit().sounding());

    // The refused item's 14 stands unless a later item stops the song with
    // its own 14 or 25.
    const std::pair<const char*, int32_t> later[] = {
        {"40000;10 C;10 60;10", 14}, {"40000;10 C;abc D;10", 25},
        {"40000;10 R;x", 25},        {"40000;10 H;10", 14}};
    for (const auto& [song, status] : later) {
        SetUp();
        EXPECT_EQ(command({"SONG", song}), status) << song;
        EXPECT_EQ(StatProc(), status) << song;
        EXPECT_FALSE(recording::pit().sounding()) << song;
    }
}

TEST_F(Speaker, StoppedSongLeavesNothingSounding) {
    struct Case {
        const char* song;
        int32_t status;
        int64_t end_ms;  // virtual time when the song ended
    } cases[] = {
        {"C;100 R;200 D;100", 0, 400},
        {"C;100  D;100", 14, 100},      // empty item
        {"C;100 H;100 D;100", 14, 100},
        {"C;100 C;abc D;100", 25, 100},
        {"C;100 R;x D;100", 25, 100},   // a rest that does not convert
        {"C;100 R;-5 D;100", 25, 100},  // nor does a negative one
        {"C;100 ", 0, 100},
        {" C;100", 14, 0},
        {"C;50;x 60;50", 0, 100},
    };
    for (const Case& c : cases) {
        SetUp();
        EXPECT_EQ(command({"SONG", c.song}), c.status) << c.song;
        EXPECT_FALSE(recording::pit().sounding()) << c.song;
        EXPECT_EQ(recording::now_ns() / 1000000, c.end_ms) << c.song;
    }
}

TEST_F(Speaker, HeldToneSoundsOnThroughARest) {
    EXPECT_EQ(command({"ON", "A_1"}), 0);
    recording::reset_log();
    EXPECT_EQ(command({"R", "250"}), 0);
    EXPECT_TRUE(accesses().empty());
    EXPECT_EQ(recording::now_ns(), 250 * 1000000);
    EXPECT_TRUE(recording::pit().sounding());
    // The next timed note re-tunes without a gap and ends the tone.
    EXPECT_EQ(command({"C", "100"}), 0);
    const std::vector<Access> got = accesses();
    ASSERT_EQ(got.size(), 5u);
    EXPECT_EQ(got[1], (Access{'o', 0x42, 9108 & 0xFF, 250}));
    EXPECT_FALSE(recording::pit().sounding());
}

TEST_F(Speaker, StatusesOfTheCommands) {
    struct Case {
        std::vector<std::string> fields;
        int32_t status;
    } cases[] = {
        {{"SONG", ""}, 2}, {{"SONG", " \t"}, 2}, {{"ON", ""}, 2}, {{"ON", "  "}, 2},
        {{"R", ""}, 2}, {{"C", ""}, 2}, {{"C", " "}, 2}, {{"  "}, 2},
        {{"R", "x"}, 25}, {{"R", "-1"}, 25}, {{"R", "0"}, 0},
        {{"60", "abc"}, 14}, {{"C", "abc"}, 25}, {{"C", "-1"}, 25}, {{"H", "100"}, 14},
        {{" ON", "A_1"}, 14},  // a blank before the word: no keyword, no note
        {{"SONG", "c;10 cP_1;10 $3C;10 60;10"}, 0},
        {{"-1", "10"}, 14},  // 65535 Hz is refused
    };
    for (const Case& c : cases) {
        SetUp();
        std::vector<char> block = plugtest::make_block(512, c.fields);
        EXPECT_EQ(CommandProc(block.data()), c.status) << c.fields[0];
        EXPECT_EQ(StatProc(), c.status) << c.fields[0];
        EXPECT_EQ(std::strcmp(FuncProc(block.data()), ""), 0);
        EXPECT_EQ(StatProc(), 7);
    }
}

TEST_F(Speaker, InitAndFuncProc) {
    int32_t fields = 0, size = 0;
    EXPECT_STREQ(Init(1, 2, 3, &fields, &size), "SPEAKER");
    EXPECT_EQ(fields, 2);
    EXPECT_EQ(size, 512);
    EXPECT_EQ(StatProc(), 0);
    EXPECT_TRUE(accesses().empty());  // Init touches no port
}

TEST_F(Speaker, ToneDevicesGetTheFrequency) {
    use_port_layer(&recording::tone_layer());
    EXPECT_EQ(command({"ON", "A_1"}), 0);
    EXPECT_EQ(recording::tone_hz(), 440);
    EXPECT_EQ(command({"ON", "40000"}), 14);
    EXPECT_EQ(recording::tone_hz(), 440);  // refused: unchanged
    EXPECT_EQ(command({"C", "100"}), 0);
    EXPECT_EQ(recording::tone_hz(), 0);
    const std::vector<Access> want = {
        {'t', 0, 440, 0}, {'t', 0, 131, 0}, {'t', 0, 0, 100}};
    EXPECT_EQ(accesses(), want);
}

// ---- choosing the port layer ---------------------------------------------------

uint8_t no_in(uint16_t) { return 0; }
void no_out(uint16_t, uint8_t) {}
const PortLayer kA = {"a", no_in, no_out, nullptr, nullptr};
const PortLayer kB = {"b", no_in, no_out, nullptr, nullptr};
const PortLayer kLast = {"last", no_in, no_out, nullptr, nullptr};
const PortLayer* open_none() { return nullptr; }
const PortLayer* open_a() { return &kA; }
const PortLayer* open_b() { return &kB; }
const PortLayer* open_last() { return &kLast; }

TEST(PortLayerChoice, OrderAndOverride) {
    const Candidate order[] = {{"a", open_none}, {"b", open_b}, {"a2", open_a},
                               {"last", open_last}};
    struct Case {
        const char* requested;
        const PortLayer* chosen;
    } cases[] = {
        {nullptr, &kB},    // the first that opens
        {"", &kB},
        {"auto", &kB},
        {"a2", &kA},       // named
        {"last", &kLast},
        {"a", &kLast},     // named, cannot serve: the last resort
        {"nonsense", &kLast},
        {"B", &kLast},     // names are exact
    };
    for (const Case& c : cases) {
        EXPECT_EQ(choose_port_layer(order, 4, c.requested), c.chosen)
            << (c.requested ? c.requested : "(null)");
    }
}

TEST(PortLayerChoice, ThisMachineEndsWithALayerThatServes) {
    // Whatever this machine offers, the choice ends with a layer that
    // answers; with the override it is the emulated timer.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv(kOverrideVariable, "emulated", 1);
    use_port_layer(nullptr);
    EXPECT_STREQ(current_port_layer().name, "emulated");
    tone_on(440);
    EXPECT_EQ(port_in(0x61) & 3, 3);
    tone_off();
    EXPECT_EQ(port_in(0x61) & 3, 0);
    unsetenv(kOverrideVariable);
    use_port_layer(nullptr);
    const std::string name = current_port_layer().name;
    EXPECT_TRUE(name == "evdev" || name == "console" || name == "ports" || name == "emulated")
        << name;
    use_port_layer(nullptr);
    unsetenv("SDL_AUDIODRIVER");
}

}  // namespace
}  // namespace speaker
