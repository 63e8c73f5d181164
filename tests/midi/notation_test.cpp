// The note table, note lookup, cutting texts and songs, driven on a virtual
// clock by a voice that writes down what it is asked to do.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "notation.h"

namespace {

using notes::Column;

// Writes "on V@T", "off@T" (T in virtual milliseconds).
class LogVoice final : public notes::Voice {
public:
    std::vector<std::string> log;
    int64_t now = 0;
    int64_t on_cost_ns = 0;  // time that each sound_on takes

    void sound_on(uint16_t value) override {
        log.push_back("on " + std::to_string(value) + "@" + std::to_string(now / 1000000));
        now += on_cost_ns;
    }
    void sound_off() override { log.push_back("off@" + std::to_string(now / 1000000)); }
    int64_t now_ns() override { return now; }
    void wait_until_ns(int64_t deadline) override {
        if (deadline > now) now = deadline;
    }
    std::string text() const {
        std::string s;
        for (const auto& e : log) s += (s.empty() ? "" : " ") + e;
        return s;
    }
};

TEST(NoteTable, MidiColumnFollowsTheOctavesAndFlatsMatchTheirSharps) {
    const char* pitches[] = {"C", "Cp", "D", "Dp", "E", "F", "Fp", "G", "Gp", "A", "Ap", "B"};
    const char* suffixes[] = {"_0", "", "_1", "_2", "_3"};
    ASSERT_EQ(notes::kNoteCount, 85u);
    for (int k = 0; k < 5; ++k) {
        for (int p = 0; p < 12; ++p) {
            const notes::NoteEntry& e = notes::kNoteTable[k * 12 + p];
            EXPECT_EQ(std::string(e.name), std::string(pitches[p]) + suffixes[k]);
            EXPECT_EQ(e.midi_note, 36 + 12 * k + p) << e.name;
        }
    }
    const char* flats[][2] = {{"Db", "Cp"}, {"Eb", "Dp"}, {"Gb", "Fp"}, {"Ab", "Gp"}, {"Bb", "Ap"}};
    for (int k = 0; k < 5; ++k) {
        for (int f = 0; f < 5; ++f) {
            const notes::NoteEntry& flat = notes::kNoteTable[60 + k * 5 + f];
            EXPECT_EQ(std::string(flat.name), std::string(flats[f][0]) + suffixes[k]);
            const std::string sharp_name = std::string(flats[f][1]) + suffixes[k];
            const notes::NoteEntry* sharp = notes::find_note(sharp_name.c_str());
            ASSERT_NE(sharp, nullptr);
            EXPECT_EQ(flat.midi_note, sharp->midi_note) << flat.name;
            EXPECT_EQ(flat.hertz, sharp->hertz) << flat.name;
        }
    }
}

TEST(NoteTable, FrequenciesAreTheTablesOwnWholeHertz) {
    // Near equal temperament everywhere (catches a slipped digit) ...
    for (const notes::NoteEntry& e : notes::kNoteTable) {
        const double exact = 440.0 * std::pow(2.0, (e.midi_note - 69) / 12.0);
        EXPECT_NEAR(e.hertz, exact, exact * 0.025) << e.name;
    }
    // ... and the table's odd values kept as they are.
    const std::pair<const char*, uint16_t> odd[] = {
        {"D", 149}, {"Fp", 189}, {"Gb", 189}, {"C_1", 261}, {"B_3", 1975}, {"A_1", 440}, {"C_0", 65}};
    for (const auto& [name, hertz] : odd) {
        ASSERT_NE(notes::find_note(name), nullptr) << name;
        EXPECT_EQ(notes::find_note(name)->hertz, hertz) << name;
    }
}

TEST(FindNote, MatchesWholeNamesInAnyLetterCase) {
    const std::pair<const char*, int> cases[] = {
        {"C", 48},    {"c", 48},     {"cP_1", 61},  {"CP_1", 61}, {"bb_3", 94}, {"Db", 49},
        {"a_1", 69},  {"B_0", 47},   {"Cb", -1},    {"Ep", -1},   {"Bp", -1},   {"Fb_1", -1},
        {"C_4", -1},  {"C_", -1},    {" C", -1},    {"C ", -1},   {"C\t", -1},  {"", -1},
        {"Cp_1x", -1}, {"H", -1},    {"R", -1},     {"60", -1}};
    for (const auto& [text, midi] : cases) {
        const notes::NoteEntry* e = notes::find_note(text);
        if (midi < 0) {
            EXPECT_EQ(e, nullptr) << '"' << text << '"';
        } else {
            ASSERT_NE(e, nullptr) << '"' << text << '"';
            EXPECT_EQ(e->midi_note, midi) << text;
        }
    }
}

std::vector<std::string> split(const char* text, char separator) {
    notes::Segments segments;
    EXPECT_TRUE(notes::split_text(plug::Text{text, std::strlen(text)}, separator, segments));
    std::vector<std::string> out;
    for (std::size_t i = 0; i < segments.count; ++i) {
        out.emplace_back(segments.items[i].data, segments.items[i].size);
    }
    return out;
}

TEST(SplitText, EmptySegmentsAndTheTrailingSeparator) {
    using V = std::vector<std::string>;
    EXPECT_EQ(split("C;100", ';'), (V{"C", "100"}));
    EXPECT_EQ(split("C;", ';'), (V{"C"}));
    EXPECT_EQ(split(";100", ';'), (V{"", "100"}));
    EXPECT_EQ(split("C;;100", ';'), (V{"C", "", "100"}));
    EXPECT_EQ(split("C;100;x", ';'), (V{"C", "100", "x"}));
    EXPECT_EQ(split("C;;", ';'), (V{"C", ""}));
    EXPECT_EQ(split("", ';'), V{});
    EXPECT_EQ(split("a;1  b;2", ' '), (V{"a;1", "", "b;2"}));
    EXPECT_EQ(split(" a;1", ' '), (V{"", "a;1"}));
    EXPECT_EQ(split("a;1 ", ' '), (V{"a;1"}));
    EXPECT_EQ(split("a\tb", ' '), (V{"a\tb"}));
}

TEST(SplitText, ABlockFullOfSeparatorsFitsAndMoreIsRefused) {
    std::string text(511, ' ');
    notes::Segments segments;
    EXPECT_TRUE(notes::split_text(plug::Text{text.data(), text.size()}, ' ', segments));
    EXPECT_EQ(segments.count, 511u);
    text.assign(notes::kMaxSegments + 1, ' ');
    EXPECT_FALSE(notes::split_text(plug::Text{text.data(), text.size()}, ' ', segments));
    EXPECT_EQ(segments.count, notes::kMaxSegments);
}

struct TimedCase {
    const char* note;
    const char* duration;
    int32_t status;
    const char* log;  // MIDI column
};

TEST(PlayTimedNote, NumbersNamesAndDurationsThatDoNotConvert) {
    const TimedCase cases[] = {
        {"C_1", "500", 0, "on 60@0 off@500"},
        {"c", "0", 0, "on 48@0 off@0"},
        {"60", "1000", 0, "on 60@0 off@1000"},
        {"$3C", "10", 0, "on 60@0 off@10"},
        {"-1", "100", 0, "on 65535@0 off@100"},
        {"65596", "5", 0, "on 60@0 off@5"},
        {"200", "100", 0, "on 200@0 off@100"},
        {"60", "abc", 14, ""},
        {"60", "-5", 14, ""},  // a negative duration counts as one that does not convert
        {"C", "abc", 25, ""},
        {"C", "-1", 25, ""},
        {"C", " 5", 0, "on 48@0 off@5"},
        {"C", "5 ", 25, ""},
        {"H", "100", 14, ""},
        {"H", "abc", 14, ""},
        {"C\t", "100", 14, ""},
    };
    for (const auto& c : cases) {
        LogVoice voice;
        EXPECT_EQ(notes::play_timed_note(voice, Column::midi_note, c.note, c.duration), c.status)
            << c.note << " " << c.duration;
        EXPECT_EQ(voice.text(), c.log) << c.note << " " << c.duration;
    }
    LogVoice voice;
    EXPECT_EQ(notes::play_timed_note(voice, Column::hertz, "a_1", "20"), 0);
    EXPECT_EQ(notes::play_timed_note(voice, Column::hertz, "37", "20"), 0);
    EXPECT_EQ(voice.text(), "on 440@0 off@20 on 37@20 off@40");
}

TEST(StartHeldNote, SoundsWithoutWaitOrEnd) {
    LogVoice voice;
    EXPECT_EQ(notes::start_held_note(voice, Column::midi_note, "A_1"), 0);
    EXPECT_EQ(notes::start_held_note(voice, Column::hertz, "A_1"), 0);
    EXPECT_EQ(notes::start_held_note(voice, Column::hertz, "-1"), 0);
    EXPECT_EQ(notes::start_held_note(voice, Column::hertz, "X"), 14);
    EXPECT_EQ(notes::start_held_note(voice, Column::hertz, ""), 14);
    EXPECT_EQ(voice.text(), "on 69@0 on 440@0 on 65535@0");
}

struct SongCase {
    const char* song;
    int32_t status;
    const char* log;
};

TEST(PlaySong, GrammarAndOrder) {
    const SongCase cases[] = {
        {"C;500", 0, "on 48@0 off@500"},
        {"c;500 cP_1;100", 0, "on 48@0 off@500 on 61@500 off@600"},
        {"60;500", 0, "on 60@0 off@500"},
        {"$3C;500", 0, "on 60@0 off@500"},
        {"60;abc", 14, ""},
        {"C;abc", 25, ""},
        {"H;100", 14, ""},
        {"C;500;x", 0, "on 48@0 off@500"},
        {"C;", 14, ""},
        {";500", 14, ""},
        {"C;;500", 14, ""},
        {" ;500", 14, ""},
        {"C; ", 14, ""},
        {"C", 14, ""},
        {"C;100 R;200 D;100", 0, "on 48@0 off@100 on 50@300 off@400"},
        {"r;200 D;100", 0, "on 50@200 off@300"},
        {"C;100  D;100", 14, "on 48@0 off@100"},
        {" C;100", 14, ""},
        {"C;100 ", 0, "on 48@0 off@100"},
        {"C;100  ", 14, "on 48@0 off@100"},
        {"-1;100", 0, "on 65535@0 off@100"},
        {"C\t;100", 14, ""},
        {" R;100", 14, ""},
        {"C;100 R;x D;100", 25, "on 48@0 off@100"},
        {"R;-1 D;100", 25, ""},
        {"C;100 D;-100", 25, "on 48@0 off@100"},
        {"C;100 E;50 H;1 G;100", 14, "on 48@0 off@100 on 52@100 off@150"},
        {"", 0, ""},
    };
    for (const auto& c : cases) {
        LogVoice voice;
        EXPECT_EQ(notes::play_song(voice, Column::midi_note, c.song), c.status) << '"' << c.song << '"';
        EXPECT_EQ(voice.text(), c.log) << '"' << c.song << '"';
    }
}

TEST(PlaySong, WaitsFollowTheSongsDeadlineNotTheTimeSpentSending) {
    LogVoice voice;
    voice.on_cost_ns = 3 * 1000000;  // each note takes 3 ms to start
    EXPECT_EQ(notes::play_song(voice, Column::midi_note, "C;10 D;10 R;10 E;10"), 0);
    EXPECT_EQ(voice.text(), "on 48@0 off@10 on 50@10 off@20 on 52@30 off@40");
    EXPECT_EQ(voice.now, 40 * 1000000);

    // A stall longer than the allowed lag: the rest of the song keeps its
    // lengths instead of being squeezed to catch up.
    LogVoice stalled;
    stalled.on_cost_ns = 80 * 1000000;
    EXPECT_EQ(notes::play_song(stalled, Column::midi_note, "C;10 D;100"), 0);
    EXPECT_EQ(stalled.text(), "on 48@0 off@80 on 50@80 off@180");
}

TEST(Rest, WaitsOrReportsADurationThatDoesNotConvert) {
    LogVoice voice;
    EXPECT_EQ(notes::rest(voice, "250"), 0);
    EXPECT_EQ(voice.now, 250 * 1000000);
    EXPECT_EQ(notes::rest(voice, "abc"), 25);
    EXPECT_EQ(notes::rest(voice, "-1"), 25);
    EXPECT_EQ(notes::rest(voice, "$FFFFFFFF"), 25);
    EXPECT_EQ(voice.now, 250 * 1000000);
    EXPECT_TRUE(voice.log.empty());
}

}  // namespace
