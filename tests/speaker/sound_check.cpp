// Checks the recording that SDL's "disk" driver made of e2e_song.phs:
//   A_1 for 500 ms, 300 ms of waiting, then SONG "40000;100 C;100":
//   the refused 40000 passes as 100 ms of silence, then C (131 Hz) for 100 ms.
// Usage: speaker_sound_check [--pitch-only] FILE   (FILE.wav, or raw 16-bit mono at 48 kHz)
#include <cstdio>
#include <string>

#include "audio.h"

namespace {

int failures = 0;
bool timing_checked = true;

void check(bool ok, const char* what, double value) {
    std::printf("%-44s %10.3f  %s\n", what, value, ok ? "ok" : "FAILED");
    if (!ok) ++failures;
}

void check_timing(bool ok, const char* what, double value) {
    if (timing_checked) {
        check(ok, what, value);
    } else {
        std::printf("%-44s %10.3f  (not checked)\n", what, value);
    }
}

// Start of the first 10 ms window at or after `from` whose level is below
// `threshold`.
double quiet_from(const audio::Pcm& pcm, double from, double threshold) {
    for (double t = from; t + 0.01 <= pcm.seconds(); t += 0.002) {
        if (audio::rms(audio::slice(pcm, t, 0.01)) < threshold) return t;
    }
    return -1.0;
}

}  // namespace

int main(int argc, char** argv) {
    // --pitch-only: for sound devices that do not play in real time (Wine
    // into ALSA's null device takes the sound in bursts), the lengths are
    // printed but not checked.
    const bool pitch_only = argc == 3 && std::string(argv[1]) == "--pitch-only";
    if (argc != 2 && !pitch_only) {
        std::fprintf(stderr, "usage: %s [--pitch-only] FILE\n", argv[0]);
        return 2;
    }
    timing_checked = !pitch_only;
    argv += argc - 2;
    audio::Pcm pcm;
    std::string error;
    const std::string path = argv[1];
    const bool wav = path.size() > 4 && path.compare(path.size() - 4, 4, ".wav") == 0;
    if (!(wav ? audio::read_wav(path, &pcm, &error)
              : audio::read_raw(path, audio::SampleFormat::s16, 1, 48000, &pcm, &error))) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
        return 1;
    }
    std::printf("recording: %.3f s\n", pcm.seconds());
    const double level = 0.05;  // the tones are about 0.3 RMS

    const double a_start = audio::onset(pcm, level, 0.005);
    check(a_start >= 0, "A_1 starts at (s)", a_start);
    if (a_start < 0) return 1;
    const double a_pitch = audio::estimate_pitch(audio::slice(pcm, a_start + 0.05, 0.4));
    check(a_pitch > 439.0 && a_pitch < 441.3, "A_1 pitch (Hz), 1193181/2711 = 440.13", a_pitch);
    const double a_end = quiet_from(pcm, a_start + 0.1, level);
    if (a_end < 0) check(false, "A_1 ends", a_end);
    check_timing(a_end - a_start > 0.45 && a_end - a_start < 0.56, "A_1 lasts (s)",
          a_end - a_start);
    if (a_end < 0) return 1;

    // 300 ms of waiting plus the refused item's 100 ms: silence throughout,
    // once the stop of A_1 has rung out.
    const double tail = 0.05;
    const double after = a_end + tail;
    const double c_onset = audio::onset(audio::slice(pcm, after, pcm.seconds() - after), level,
                                        0.005);
    check(c_onset >= 0, "C found", c_onset);
    if (c_onset < 0) return 1;
    const double c_start = after + c_onset;
    check_timing(c_start - a_end > 0.37 && c_start - a_end < 0.6,
          "silence before C (s), 0.3 wait + 0.1 refused", c_start - a_end);
    check(audio::is_silent(audio::slice(pcm, after, c_start - after - 0.01), 0.003, 0.02),
          "no sound in the refused item's time", 0);
    const double c_pitch = audio::estimate_pitch(audio::slice(pcm, c_start + 0.02, 0.06));
    check(c_pitch > 130.0 && c_pitch < 132.0, "C pitch (Hz), 1193181/9108 = 131.00", c_pitch);
    const double c_end = quiet_from(pcm, c_start + 0.02, level);
    check_timing(c_end > 0 && c_end - c_start > 0.07 && c_end - c_start < 0.14, "C lasts (s)",
          c_end - c_start);
    if (failures > 0) {
        const std::string keep = path + ".kept.wav";
        audio::write_wav(keep, pcm);
        std::printf("recording kept as %s\n", keep.c_str());
    }
    return failures == 0 ? 0 : 1;
}
