// Note names and song notation: the note table, note lookup, cutting texts
// into segments and the walk through a song. See notation.h.
#include "notation.h"

#include <cstring>

namespace notes {

const NoteEntry kNoteTable[kNoteCount] = {
    // sharps, octave by octave: _0, none, _1, _2, _3
    {"C_0", 36, 65}, {"Cp_0", 37, 69}, {"D_0", 38, 73}, {"Dp_0", 39, 78},
    {"E_0", 40, 82}, {"F_0", 41, 87}, {"Fp_0", 42, 92}, {"G_0", 43, 98},
    {"Gp_0", 44, 104}, {"A_0", 45, 110}, {"Ap_0", 46, 116}, {"B_0", 47, 123},
    {"C", 48, 131}, {"Cp", 49, 138}, {"D", 50, 149}, {"Dp", 51, 155},
    {"E", 52, 165}, {"F", 53, 174}, {"Fp", 54, 189}, {"G", 55, 196},
    {"Gp", 56, 207}, {"A", 57, 220}, {"Ap", 58, 233}, {"B", 59, 247},
    {"C_1", 60, 261}, {"Cp_1", 61, 277}, {"D_1", 62, 293}, {"Dp_1", 63, 311},
    {"E_1", 64, 329}, {"F_1", 65, 349}, {"Fp_1", 66, 370}, {"G_1", 67, 392},
    {"Gp_1", 68, 415}, {"A_1", 69, 440}, {"Ap_1", 70, 466}, {"B_1", 71, 494},
    {"C_2", 72, 523}, {"Cp_2", 73, 554}, {"D_2", 74, 587}, {"Dp_2", 75, 622},
    {"E_2", 76, 659}, {"F_2", 77, 698}, {"Fp_2", 78, 740}, {"G_2", 79, 784},
    {"Gp_2", 80, 830}, {"A_2", 81, 880}, {"Ap_2", 82, 932}, {"B_2", 83, 988},
    {"C_3", 84, 1046}, {"Cp_3", 85, 1109}, {"D_3", 86, 1174}, {"Dp_3", 87, 1244},
    {"E_3", 88, 1318}, {"F_3", 89, 1397}, {"Fp_3", 90, 1480}, {"G_3", 91, 1568},
    {"Gp_3", 92, 1661}, {"A_3", 93, 1760}, {"Ap_3", 94, 1864}, {"B_3", 95, 1975},
    // flats, octave by octave, each with the values of the sharp of the same pitch
    {"Db_0", 37, 69}, {"Eb_0", 39, 78}, {"Gb_0", 42, 92}, {"Ab_0", 44, 104}, {"Bb_0", 46, 116},
    {"Db", 49, 138}, {"Eb", 51, 155}, {"Gb", 54, 189}, {"Ab", 56, 207}, {"Bb", 58, 233},
    {"Db_1", 61, 277}, {"Eb_1", 63, 311}, {"Gb_1", 66, 370}, {"Ab_1", 68, 415}, {"Bb_1", 70, 466},
    {"Db_2", 73, 554}, {"Eb_2", 75, 622}, {"Gb_2", 78, 740}, {"Ab_2", 80, 830}, {"Bb_2", 82, 932},
    {"Db_3", 85, 1109}, {"Eb_3", 87, 1244}, {"Gb_3", 90, 1480}, {"Ab_3", 92, 1661}, {"Bb_3", 94, 1864},
};

namespace {

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

plug::Text whole(const char* s) { return plug::Text{s, std::strlen(s)}; }

// True when the text holds nothing but characters of code 1 to 32.
bool blank(plug::Text t) {
    for (std::size_t i = 0; i < t.size; ++i) {
        const auto c = static_cast<unsigned char>(t.data[i]);
        if (c == 0 || c > 32) return false;
    }
    return true;
}

// The running deadline of a note, a rest or a whole song.
class Schedule {
public:
    explicit Schedule(Voice& voice) : voice_(voice), deadline_(voice.now_ns()) {}

    // Called when an item starts: after a long stall, plan from the present.
    void begin_item() {
        const int64_t now = voice_.now_ns();
        if (now - deadline_ > kMaxSongLagMs * timing::kNanosPerMs) deadline_ = now;
    }

    // Moves the deadline on by `ms` and waits for it.
    void wait(uint32_t ms) {
        deadline_ += static_cast<int64_t>(ms) * timing::kNanosPerMs;
        voice_.wait_until_ns(deadline_);
    }

private:
    Voice& voice_;
    int64_t deadline_;
};

// play_timed_note on a schedule: the note's value and duration, or a status.
int32_t timed_note(Voice& voice, Column column, plug::Text note, plug::Text duration,
                   Schedule& schedule) {
    uint32_t ms = 0;
    int32_t number = 0;
    uint16_t value = 0;
    if (duration_ms(duration, &ms) && plug::text_to_int(note, &number)) {
        value = static_cast<uint16_t>(static_cast<uint32_t>(number) & 0xFFFFu);
    } else {
        const NoteEntry* entry = find_note(note);
        if (entry == nullptr) return plug::kUnrecognised;
        if (!duration_ms(duration, &ms)) return plug::kNotANumber;
        value = note_value(*entry, column);
    }
    schedule.begin_item();
    voice.sound_on(value);
    schedule.wait(ms);
    voice.sound_off();
    return plug::kOk;
}

// The two lists a song is cut into, reused for every song.
Segments song_items{};
Segments item_segments{};

}  // namespace

const NoteEntry* find_note(plug::Text text) {
    for (const NoteEntry& entry : kNoteTable) {
        const std::size_t len = std::strlen(entry.name);
        if (len != text.size) continue;
        std::size_t i = 0;
        while (i < len && upper(entry.name[i]) == upper(text.data[i])) ++i;
        if (i == len) return &entry;
    }
    return nullptr;
}

const NoteEntry* find_note(const char* text) { return find_note(whole(text)); }

bool split_text(plug::Text text, char separator, Segments& out) {
    out.count = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size; ++i) {
        if (text.data[i] != separator) continue;
        if (out.count == kMaxSegments) return false;
        out.items[out.count++] = plug::Text{text.data + start, i - start};
        start = i + 1;
    }
    if (start < text.size) {
        if (out.count == kMaxSegments) return false;
        out.items[out.count++] = plug::Text{text.data + start, text.size - start};
    }
    return true;
}

bool duration_ms(plug::Text text, uint32_t* out) {
    int32_t value = 0;
    if (!plug::text_to_int(text, &value) || value < 0) return false;
    *out = static_cast<uint32_t>(value);
    return true;
}

void sound_for(Voice& voice, uint16_t value, uint32_t ms) {
    Schedule schedule(voice);
    voice.sound_on(value);
    schedule.wait(ms);
    voice.sound_off();
}

int32_t play_timed_note(Voice& voice, Column column, plug::Text note, plug::Text duration) {
    Schedule schedule(voice);
    return timed_note(voice, column, note, duration, schedule);
}

int32_t play_timed_note(Voice& voice, Column column, const char* note, const char* duration) {
    return play_timed_note(voice, column, whole(note), whole(duration));
}

int32_t start_held_note(Voice& voice, Column column, plug::Text note) {
    int32_t number = 0;
    if (plug::text_to_int(note, &number)) {
        voice.sound_on(static_cast<uint16_t>(static_cast<uint32_t>(number) & 0xFFFFu));
        return plug::kOk;
    }
    const NoteEntry* entry = find_note(note);
    if (entry == nullptr) return plug::kUnrecognised;
    voice.sound_on(note_value(*entry, column));
    return plug::kOk;
}

int32_t start_held_note(Voice& voice, Column column, const char* note) {
    return start_held_note(voice, column, whole(note));
}

int32_t rest(Voice& voice, plug::Text duration) {
    uint32_t ms = 0;
    if (!duration_ms(duration, &ms)) return plug::kNotANumber;
    Schedule schedule(voice);
    schedule.wait(ms);
    return plug::kOk;
}

int32_t rest(Voice& voice, const char* duration) { return rest(voice, whole(duration)); }

int32_t play_song(Voice& voice, Column column, plug::Text song) {
    // A song comes from one field of a block and always fits; a longer text
    // is refused as a whole rather than played in part.
    if (!split_text(song, ' ', song_items)) return plug::kUnrecognised;
    Schedule schedule(voice);
    for (std::size_t i = 0; i < song_items.count; ++i) {
        if (!split_text(song_items.items[i], ';', item_segments)) return plug::kUnrecognised;
        if (item_segments.count < 2) return plug::kUnrecognised;
        const plug::Text note = item_segments.items[0];
        const plug::Text duration = item_segments.items[1];
        if (blank(note) || blank(duration)) return plug::kUnrecognised;
        if (note.size == 1 && upper(note.data[0]) == 'R') {
            uint32_t ms = 0;
            if (!duration_ms(duration, &ms)) return plug::kNotANumber;
            schedule.begin_item();
            schedule.wait(ms);
            continue;
        }
        const int32_t status = timed_note(voice, column, note, duration, schedule);
        if (status != plug::kOk) return status;
    }
    return plug::kOk;
}

int32_t play_song(Voice& voice, Column column, const char* song) {
    return play_song(voice, column, whole(song));
}

}  // namespace notes
