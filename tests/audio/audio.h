// Audio checks for tests: read a recording, estimate its pitch, measure its
// level. Used by the tests of the plug-ins that make sound.
//
// CMake: include(${CMAKE_SOURCE_DIR}/tests/audio/audio.cmake) and link
// `plugkit_audio` (the include defines the target once, whoever comes first).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace audio {

// A recording mixed down to one channel, samples in -1 .. 1.
struct Pcm {
    int sample_rate = 0;
    std::vector<float> samples;

    double seconds() const {
        return sample_rate > 0 ? static_cast<double>(samples.size()) / sample_rate : 0.0;
    }
};

enum class SampleFormat { s16, f32, u8 };

// Reads a RIFF WAVE file: PCM 8, 16, 24 or 32 bit, or IEEE float 32 bit,
// plain or WAVE_FORMAT_EXTENSIBLE, any number of channels. False (with a
// reason in *error) when the file cannot be read or the format is not one of
// those.
bool read_wav(const std::string& path, Pcm* out, std::string* error);

// Reads headerless interleaved little-endian samples, such as the file that
// SDL's "disk" audio driver writes.
bool read_raw(const std::string& path, SampleFormat format, int channels, int sample_rate,
              Pcm* out, std::string* error);

// Writes 16-bit mono PCM (for looking at a failing test's recording).
bool write_wav(const std::string& path, const Pcm& pcm);

// The part of `pcm` from `start_s` lasting `length_s` seconds (clipped to the
// recording).
Pcm slice(const Pcm& pcm, double start_s, double length_s);

// Root mean square level of the samples (0 for none).
double rms(const Pcm& pcm);

// Largest absolute sample.
double peak(const Pcm& pcm);

// True when no stretch of `window_s` seconds has an RMS level above
// `threshold` (default about -60 dBFS).
bool is_silent(const Pcm& pcm, double threshold = 0.001, double window_s = 0.02);

// Time in seconds of the first window of `window_s` whose RMS exceeds
// `threshold`, or a negative value if there is none.
double onset(const Pcm& pcm, double threshold = 0.01, double window_s = 0.005);

// Fundamental frequency in Hz of a periodic stretch, by the YIN method
// (cumulative mean normalised difference), which finds the period of the
// whole waveform rather than its loudest harmonic. Searches min_hz..max_hz;
// answers 0 when the stretch is silent or shows no period.
double estimate_pitch(const Pcm& pcm, double min_hz = 40.0, double max_hz = 2500.0);

}  // namespace audio
