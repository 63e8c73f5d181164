// The midi command handler through CommandProc, against the recording MIDI
// output and a virtual clock.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "handler.h"
#include "plugframe.h"
#include "recorder.h"
#include "virtual_clock.h"
#include "test_block.h"

namespace {

class MidiHandler : public ::testing::Test {
protected:
    void SetUp() override {
        plug::reset_frame_for_tests();
        midi::reset_for_tests();
        midi::recorder::clear();
        midi::use_output(&midi::recorder::output());
        midi::virtual_clock::start();
        int32_t fields = 0, size = 0;
        Init(0x1234, 0, 0, &fields, &size);
        ASSERT_EQ(fields, 2);
        ASSERT_EQ(size, 512);
    }
    void TearDown() override {
        midi::reset_for_tests();
        midi::recorder::clear();
    }

    // One command: its fields, NUL-separated, in a zeroed 512-byte block.
    static int32_t run(const std::vector<const char*>& fields) {
        return CommandProc(plugtest::make_block(512, fields).data());
    }

    // Every recorded call since the test began: "open", "close", "reset",
    // or the message bytes "C0 00 00", each "@ms".
    static std::string events() {
        std::string s;
        for (std::size_t i = 0; i < midi::recorder::count(); ++i) {
            const auto& e = midi::recorder::event(i);
            char text[32];
            switch (e.kind) {
                case midi::recorder::Kind::open: std::snprintf(text, sizeof text, "open"); break;
                case midi::recorder::Kind::close: std::snprintf(text, sizeof text, "close"); break;
                case midi::recorder::Kind::reset: std::snprintf(text, sizeof text, "reset"); break;
                case midi::recorder::Kind::message:
                    std::snprintf(text, sizeof text, "%02X %02X %02X", e.message & 0xFF,
                                  e.message >> 8 & 0xFF, e.message >> 16 & 0xFF);
                    break;
            }
            s += (s.empty() ? "" : " | ") + std::string(text) + "@" +
                 std::to_string(e.time_ns / 1000000);
        }
        return s;
    }
};

struct Step {
    std::vector<const char*> fields;
    int32_t status;
};

struct Case {
    const char* what;
    std::vector<Step> steps;
    const char* events;
};

TEST_F(MidiHandler, CommandsSendTheRightMessagesInOrder) {
    const Case cases[] = {
        {"timed note by number",
         {{{"OPEN"}, 0}, {{"60", "1000"}, 0}},
         "open@0 | C0 00 00@0 | 90 3C 7F@0 | reset@1000"},
        {"lower-case keyword",
         {{{"open"}, 0}, {{"c_1", "5"}, 0}},
         "open@0 | C0 00 00@0 | 90 3C 7F@0 | reset@5"},
        {"channel 10",
         {{{"OPEN"}, 0}, {{"CHANNEL", "9"}, 0}, {{"ON", "36"}, 0}},
         "open@0 | C9 00 00@0 | 99 24 7F@0"},
        {"instrument and velocity",
         {{{"OPEN"}, 0}, {{"INSTRUMENT", "19"}, 0}, {{"VELOCITY", "$40"}, 0}, {{"ON", "a_1"}, 0}},
         "open@0 | C0 13 00@0 | 90 45 40@0"},
        {"chord until OFF",
         {{{"OPEN"}, 0}, {{"ON", "C_1"}, 0}, {{"ON", "E_1"}, 0}, {{"ON", "G_1"}, 0}, {{"OFF"}, 0}},
         "open@0 | C0 00 00@0 | 90 3C 7F@0 | C0 00 00@0 | 90 40 7F@0 | C0 00 00@0 | 90 43 7F@0 | reset@0"},
        {"a timed note ends a held one",
         {{{"OPEN"}, 0}, {{"ON", "C_1"}, 0}, {{"E_1", "200"}, 0}},
         "open@0 | C0 00 00@0 | 90 3C 7F@0 | C0 00 00@0 | 90 40 7F@0 | reset@200"},
        {"note above 127: only the wait and the reset",
         {{{"OPEN"}, 0}, {{"200", "100"}, 0}, {{"ON", "128"}, 0}},
         "open@0 | reset@100"},
        {"song with a rest",
         {{{"OPEN"}, 0}, {{"SONG", "C;100 R;200 D;100"}, 0}},
         "open@0 | C0 00 00@0 | 90 30 7F@0 | reset@100 | C0 00 00@300 | 90 32 7F@300 | reset@400"},
        {"song stops at a bad item",
         {{{"OPEN"}, 0}, {{"SONG", "C;100  D;100"}, 14}},
         "open@0 | C0 00 00@0 | 90 30 7F@0 | reset@100"},
        {"rest command",
         {{{"OPEN"}, 0}, {{"R", "250"}, 0}, {{"ON", "C"}, 0}},
         "open@0 | C0 00 00@250 | 90 30 7F@250"},
        {"nothing reaches a device before OPEN, but the wait happens",
         {{{"C_1", "500"}, 0}, {{"ON", "C_1"}, 0}, {{"OFF"}, 0}, {{"SONG", "C;10"}, 0}},
         ""},
        {"nothing after CLOSE",
         {{{"OPEN"}, 0}, {{"CLOSE"}, 0}, {{"C_1", "5"}, 0}, {{"OFF"}, 0}},
         "open@0 | close@0"},
        {"OPEN twice, CLOSE twice",
         {{{"OPEN"}, 0}, {{"OPEN"}, 0}, {{"CLOSE"}, 0}, {{"CLOSE"}, 0}},
         "open@0 | close@0"},
        {"data bytes and channel are masked",
         {{{"OPEN"}, 0}, {{"CHANNEL", "16"}, 0}, {{"INSTRUMENT", "-1"}, 0}, {{"VELOCITY", "255"}, 0},
          {{"ON", "60"}, 0}},
         "open@0 | C0 7F 00@0 | 90 3C 7F@0"},
        {"velocity 128 is note-on with velocity 0",
         {{{"OPEN"}, 0}, {{"VELOCITY", "128"}, 0}, {{"ON", "60"}, 0}},
         "open@0 | C0 00 00@0 | 90 3C 00@0"},
        {"statuses of the notes",
         {{{"OPEN"}, 0}, {{"H", "100"}, 14}, {{"C", "abc"}, 25}, {{"60", "abc"}, 14}, {{"C", "-5"}, 25},
          {{"60", "-5"}, 14}, {{"ON", "X"}, 14}},
         "open@0"},
        {"empty second fields",
         {{{"ON", " "}, 2}, {{"SONG", ""}, 2}, {{"SONG", " \t"}, 2}, {{"R", ""}, 2}, {{"C", ""}, 2},
          {{"OPEN "}, 2}},
         ""},
        {"settings that do not convert",
         {{{"OPEN"}, 0}, {{"INSTRUMENT", "abc"}, 25}, {{"VELOCITY", ""}, 25}, {{"CHANNEL", "1.5"}, 25},
          {{"R", "x"}, 25}, {{"R", "-1"}, 25}, {{"ON", "60"}, 0}},
         "open@0 | C0 00 00@0 | 90 3C 7F@0"},
    };
    for (const Case& c : cases) {
        SetUp();
        for (const Step& step : c.steps) {
            EXPECT_EQ(run(step.fields), step.status) << c.what << ": " << step.fields[0];
            EXPECT_EQ(StatProc(), step.status) << c.what;
        }
        EXPECT_EQ(events(), c.events) << c.what;
    }
}

TEST_F(MidiHandler, WithoutADeviceEveryDurationStillPasses) {
    EXPECT_EQ(run({"C_1", "500"}), 0);
    EXPECT_EQ(run({"SONG", "C;100 R;200 60;50"}), 0);
    EXPECT_EQ(run({"R", "150"}), 0);
    EXPECT_EQ(midi::virtual_clock::now_ns(), 1000 * 1000000LL);
}

TEST_F(MidiHandler, SettingsKeepTheirLowEightBits) {
    EXPECT_EQ(run({"VELOCITY", "300"}), 0);
    EXPECT_EQ(run({"INSTRUMENT", "-1"}), 0);
    EXPECT_EQ(run({"CHANNEL", "$10F"}), 0);
    EXPECT_EQ(midi::settings().velocity, 44);
    EXPECT_EQ(midi::settings().instrument, 255);
    EXPECT_EQ(midi::settings().channel, 15);
    // A value that does not convert changes nothing.
    EXPECT_EQ(run({"VELOCITY", "loud"}), 25);
    EXPECT_EQ(midi::settings().velocity, 44);
    EXPECT_EQ(run({"OPEN"}), 0);
    EXPECT_EQ(run({"CLOSE"}), 0);
    EXPECT_EQ(midi::settings().velocity, 44);
}

TEST_F(MidiHandler, OpenAndCloseResults) {
    struct Result {
        uint32_t result;
        int32_t status;
        bool open;
    };
    const Result opens[] = {{0, 0, true}, {68, 33, false}, {4, 34, false}, {7, 35, false},
                            {69, 36, false}, {1, 36, false}};
    for (const Result& r : opens) {
        SetUp();
        midi::recorder::set_results(r.result, 0);
        EXPECT_EQ(run({"OPEN"}), r.status) << r.result;
        EXPECT_EQ(midi::settings().open, r.open) << r.result;
    }
    const Result closes[] = {{0, 0, false}, {7, 35, true}, {69, 36, true}, {5, 36, true}};
    for (const Result& r : closes) {
        SetUp();
        midi::recorder::set_results(0, r.result);
        ASSERT_EQ(run({"OPEN"}), 0);
        EXPECT_EQ(run({"CLOSE"}), r.status) << r.result;
        EXPECT_EQ(midi::settings().open, r.open) << r.result;
        // A device that stays open still plays.
        EXPECT_EQ(run({"ON", "60"}), 0);
        EXPECT_EQ(midi::recorder::count(), r.open ? 4u : 2u) << r.result;
    }
}

TEST_F(MidiHandler, UnloadClosesWithoutReset) {
    ASSERT_EQ(run({"OPEN"}), 0);
    ASSERT_EQ(run({"ON", "60"}), 0);
    midi::unload();
    EXPECT_EQ(events(), "open@0 | C0 00 00@0 | 90 3C 7F@0 | close@0");
    EXPECT_FALSE(midi::settings().open);
    midi::unload();  // nothing more when nothing is open
    EXPECT_EQ(midi::recorder::count(), 4u);
}

TEST_F(MidiHandler, OpenHandsOnTheFirstHostValue) {
    // The recorder does not keep the callback value; the frame's kept value
    // is what the handler reads.
    EXPECT_EQ(plug::first_host_value(), 0x1234u);
    EXPECT_EQ(run({"OPEN"}), 0);
}

TEST_F(MidiHandler, FunctionAnswerIsTheDefault) {
    char block[512] = {};
    EXPECT_STREQ(FuncProc(block), "");
    EXPECT_EQ(StatProc(), 7);
    EXPECT_EQ(run({"OFF"}), 0);
}

// The system's output on Linux, as chosen by PLUGKIT_MIDI. Only choices
// that give the same answer on every machine are tried here.
TEST_F(MidiHandler, EnvironmentChoosesTheLinuxOutput) {
    midi::use_output(nullptr);
    const struct {
        const char* value;
        int32_t status;
    } cases[] = {
        {"none", 33},
        {"alsa:no such port anywhere", 33},
        {"synth:/nonexistent/soundfont.sf2", 36},
        {"speakers", 36},
        {"record:/nonexistent/dir/log", 36},
    };
    for (const auto& c : cases) {
        setenv("PLUGKIT_MIDI", c.value, 1);
        EXPECT_EQ(run({"OPEN"}), c.status) << c.value;
        EXPECT_FALSE(midi::settings().open) << c.value;
    }

    const std::string log = ::testing::TempDir() + "/midi_record.log";
    std::remove(log.c_str());
    setenv("PLUGKIT_MIDI", ("record:" + log).c_str(), 1);
    EXPECT_EQ(run({"OPEN"}), 0);
    EXPECT_EQ(run({"CHANNEL", "2"}), 0);
    EXPECT_EQ(run({"A_1", "20"}), 0);
    EXPECT_EQ(run({"CLOSE"}), 0);
    unsetenv("PLUGKIT_MIDI");
    std::ifstream in(log);
    std::string line, kinds;
    while (std::getline(in, line)) kinds += line.substr(line.find(' ') + 1) + "|";
    EXPECT_EQ(kinds, "open|msg C2 00 00|msg 92 45 7F|reset|close|");
}

}  // namespace
