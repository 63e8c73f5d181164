// The audio checks themselves: pitch of known signals, levels, WAV round trip.
#include "audio.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr double kPi = 3.14159265358979323846;

// `seconds` of a sum of harmonics of `hz`, amplitudes given per harmonic.
audio::Pcm tone(double hz, std::initializer_list<double> harmonics, double seconds = 0.3,
                int rate = 44100) {
    audio::Pcm pcm;
    pcm.sample_rate = rate;
    const auto n = static_cast<std::size_t>(seconds * rate);
    pcm.samples.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        double v = 0.0;
        int k = 1;
        for (double a : harmonics) v += a * std::sin(2 * kPi * hz * k++ * static_cast<double>(i) / rate);
        pcm.samples[i] = static_cast<float>(0.3 * v);
    }
    return pcm;
}

audio::Pcm square(double hz, double seconds = 0.3, int rate = 44100) {
    audio::Pcm pcm;
    pcm.sample_rate = rate;
    const auto n = static_cast<std::size_t>(seconds * rate);
    for (std::size_t i = 0; i < n; ++i) {
        pcm.samples.push_back(std::fmod(static_cast<double>(i) * hz / rate, 1.0) < 0.5 ? 0.5f : -0.5f);
    }
    return pcm;
}

TEST(AudioPitch, FindsTheFundamentalOfSinesSquaresAndHarmonicRichTones) {
    EXPECT_NEAR(audio::estimate_pitch(tone(261.63, {1.0})), 261.63, 0.5);
    EXPECT_NEAR(audio::estimate_pitch(tone(65.0, {1.0})), 65.0, 0.3);
    EXPECT_NEAR(audio::estimate_pitch(tone(1975.0, {1.0})), 1975.0, 10.0);
    EXPECT_NEAR(audio::estimate_pitch(square(440.0)), 440.0, 2.0);
    EXPECT_NEAR(audio::estimate_pitch(square(37.0, 0.5), 30.0), 37.0, 0.5);
    // The second harmonic much louder than the fundamental, as in a piano's
    // middle C: the fundamental is still what is found.
    EXPECT_NEAR(audio::estimate_pitch(tone(261.63, {0.25, 1.0, 0.6, 0.3})), 261.63, 1.0);
}

TEST(AudioPitch, SilenceAndNoiseHaveNoPitch) {
    audio::Pcm quiet;
    quiet.sample_rate = 44100;
    quiet.samples.assign(44100 / 4, 0.0f);
    EXPECT_EQ(audio::estimate_pitch(quiet), 0.0);

    audio::Pcm noise = quiet;
    uint32_t seed = 12345;
    for (float& s : noise.samples) {
        seed = seed * 1664525u + 1013904223u;
        s = static_cast<float>(static_cast<int32_t>(seed) / 4294967296.0);
    }
    EXPECT_EQ(audio::estimate_pitch(noise), 0.0);
}

TEST(AudioLevel, SilenceOnsetAndRms) {
    audio::Pcm pcm = tone(440.0, {1.0}, 0.2);
    audio::Pcm padded;
    padded.sample_rate = pcm.sample_rate;
    padded.samples.assign(4410, 0.0f);  // 100 ms of silence first
    padded.samples.insert(padded.samples.end(), pcm.samples.begin(), pcm.samples.end());

    EXPECT_NEAR(audio::onset(padded), 0.1, 0.006);
    EXPECT_TRUE(audio::is_silent(audio::slice(padded, 0.0, 0.1)));
    EXPECT_FALSE(audio::is_silent(padded));
    EXPECT_NEAR(audio::rms(pcm), 0.3 / std::sqrt(2.0), 0.002);
    EXPECT_NEAR(audio::peak(pcm), 0.3, 0.002);
    EXPECT_NEAR(audio::slice(padded, 0.25, 10.0).seconds(), 0.05, 0.001);
}

TEST(AudioFiles, WavRoundTripAndRawStereo) {
    const std::string wav = ::testing::TempDir() + "/audio_test.wav";
    audio::Pcm pcm = tone(330.0, {1.0}, 0.1, 22050);
    ASSERT_TRUE(audio::write_wav(wav, pcm));
    audio::Pcm back;
    std::string error;
    ASSERT_TRUE(audio::read_wav(wav, &back, &error)) << error;
    EXPECT_EQ(back.sample_rate, 22050);
    ASSERT_EQ(back.samples.size(), pcm.samples.size());
    EXPECT_NEAR(back.samples[100], pcm.samples[100], 1e-4);

    // Stereo float frames: left 0.5, right -0.25 mix to 0.125.
    const std::string raw = ::testing::TempDir() + "/audio_test.raw";
    std::FILE* f = std::fopen(raw.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    const float frames[4] = {0.5f, -0.25f, 0.5f, -0.25f};
    std::fwrite(frames, sizeof frames, 1, f);
    std::fclose(f);
    ASSERT_TRUE(audio::read_raw(raw, audio::SampleFormat::f32, 2, 48000, &back, &error)) << error;
    ASSERT_EQ(back.samples.size(), 2u);
    EXPECT_FLOAT_EQ(back.samples[1], 0.125f);

    EXPECT_FALSE(audio::read_wav(raw, &back, &error));
    EXPECT_FALSE(audio::read_wav(::testing::TempDir() + "/missing.wav", &back, &error));
}

}  // namespace
