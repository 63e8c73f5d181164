// Note names and song notation, shared by the midi and speaker plug-ins.
//
// A note is written as a number or as one of 85 note names; a song is a text
// of items "NOTE;DURATION" separated by single spaces. The operations here
// evaluate notes and songs and drive a Voice that the plug-in supplies; they
// know nothing about MIDI or the speaker. Which value of a note table entry
// the voice receives (MIDI note number or frequency) is selected by Column.
//
// Nothing here allocates or throws: texts are views into the caller's block
// copy, and the song's segment lists are fixed arrays bounded by the largest
// parameter block.
#pragma once

#include <cstddef>
#include <cstdint>

#include "plugframe.h"
#include "timing.h"

namespace notes {

// Which value column of the note table a plug-in reads.
enum class Column : uint8_t {
    midi_note,  // MIDI note number (midi)
    hertz,      // frequency in whole hertz (speaker)
};

struct NoteEntry {
    const char* name;  // 1 to 4 ASCII characters, case as written in the table
    uint16_t midi_note;
    uint16_t hertz;
};

constexpr std::size_t kNoteCount = 85;
// The note table in its fixed order: the sharps "C_0" .. "B_3" (60 entries),
// then the flats "Db_0" .. "Bb_3" (25 entries).
extern const NoteEntry kNoteTable[kNoteCount];

// The value of an entry in the given column.
inline uint16_t note_value(const NoteEntry& entry, Column column) {
    return column == Column::midi_note ? entry.midi_note : entry.hertz;
}

// The first entry whose name equals `text` after ASCII upper-casing of both
// (no trimming, no prefix match), or nullptr.
const NoteEntry* find_note(plug::Text text);
const NoteEntry* find_note(const char* text);

// ---- cutting texts -----------------------------------------------------------

// No text is longer than the largest block, so it never has more segments
// than this.
constexpr std::size_t kMaxSegments = static_cast<std::size_t>(plug::kMaxBlock);

struct Segments {
    plug::Text items[kMaxSegments];
    std::size_t count = 0;
};

// Cuts `text` at every `separator`: the text before each separator is one
// segment (possibly empty); what remains after the last separator is one more
// segment if it is not empty. An empty text gives no segment. Returns false
// (with the first kMaxSegments segments in `out`) if the text has more
// segments than fit, which no text from a parameter block can have.
bool split_text(plug::Text text, char separator, Segments& out);

// ---- the voice ------------------------------------------------------------------

// What a plug-in supplies: start a sound for a note value, stop all sound,
// and the clock the waits use. A voice action may set the last status itself
// (speaker does for a refused frequency); that stops nothing here.
//
// now_ns / wait_until_ns default to the precise monotonic clock of timing.h;
// tests and fuzz targets replace them with a virtual clock.
struct Voice {
    virtual void sound_on(uint16_t value) = 0;
    virtual void sound_off() = 0;
    virtual int64_t now_ns() { return timing::now_ns(); }
    virtual void wait_until_ns(int64_t deadline_ns) { timing::wait_until_ns(deadline_ns); }

protected:
    ~Voice() = default;
};

// ---- note operations ------------------------------------------------------------
// Each returns the status it produces: 0, plug::kUnrecognised (14) or
// plug::kNotANumber (25). They never write the last status themselves; the
// caller does when the result is not 0.
//
// Durations are milliseconds. A duration that does not convert, or that is
// negative, counts as a duration that does not convert.

// sound_on(value), wait `duration_ms`, sound_off(): always all three.
void sound_for(Voice& voice, uint16_t value, uint32_t duration_ms);

// A note with a duration: 0, 14 (no note name, or a numbered note whose
// duration does not convert) or 25 (a note name whose duration does not
// convert). Nothing sounds unless the result is 0.
int32_t play_timed_note(Voice& voice, Column column, plug::Text note, plug::Text duration);
int32_t play_timed_note(Voice& voice, Column column, const char* note, const char* duration);

// A held note: sound_on only. 0, or 14 when the text is neither a number nor
// a note name.
int32_t start_held_note(Voice& voice, Column column, plug::Text note);
int32_t start_held_note(Voice& voice, Column column, const char* note);

// Plays a song string: 0, 14 (malformed item, unknown note), 25 (a named
// note's or a rest's duration does not convert). The song stops at the first
// 14 or 25; every note already started has ended by then.
//
// Waits follow the song's running deadline (start + sum of the durations so
// far), so the time spent composing and sending messages does not add up
// over the items. After a stall longer than kMaxSongLagMs the schedule starts
// again from the present instead of cutting the following items short.
int32_t play_song(Voice& voice, Column column, plug::Text song);
int32_t play_song(Voice& voice, Column column, const char* song);

constexpr int64_t kMaxSongLagMs = 50;

// A rest: waits `duration` milliseconds; 0, or 25 when the duration does not
// convert or is negative (then nothing waits).
int32_t rest(Voice& voice, plug::Text duration);
int32_t rest(Voice& voice, const char* duration);

// A duration text as milliseconds: false when it does not convert or is
// negative.
bool duration_ms(plug::Text text, uint32_t* out);

}  // namespace notes
