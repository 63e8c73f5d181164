// The Linux clip reader against the generated clips and against clips that
// the animation control would refuse.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>

#include "avi_clip.h"
#include "avi_test_util.h"

namespace {

using avi_test::fixture;
using avi_test::make_avi;
using avi_test::read_file;
using splash::AviClip;

constexpr uint32_t kOpaque = 0xFF000000u;
constexpr uint32_t kBlock[4] = {0xFF0000, 0x0000FF, 0xFFFF00, 0x00FF00};
constexpr uint32_t kDots[3] = {0x000000, 0xFFFFFF, 0x808080};

struct ClipCase {
    const char* file;
    int width, height;
};

class FixtureClips : public ::testing::TestWithParam<ClipCase> {};

// Every fixture clip: size, timing, the teal key, and per frame the block
// colour, the shifting dots and the transparent background.
TEST_P(FixtureClips, DecodeToTheDescribedFrames) {
    const ClipCase c = GetParam();
    AviClip clip;
    ASSERT_TRUE(clip.open_file(fixture(c.file).c_str()));
    EXPECT_EQ(clip.width(), c.width);
    EXPECT_EQ(clip.height(), c.height);
    EXPECT_EQ(clip.frame_count(), 4u);
    EXPECT_EQ(clip.frame_interval_us(), 100000u);
    EXPECT_EQ(clip.key_color(), 0x008080u);
    const int w = c.width, h = c.height;
    // Twice round, as the window loops, and once backwards.
    for (uint32_t f : {0u, 1u, 2u, 3u, 0u, 1u, 2u, 3u, 2u, 0u}) {
        SCOPED_TRACE(f);
        const uint32_t* px = clip.frame(f);
        ASSERT_NE(px, nullptr);
        EXPECT_EQ(px[0], 0u);                                   // key: transparent
        EXPECT_EQ(px[std::size_t(h - 1) * w + (w - 1)], 0u);
        EXPECT_EQ(px[std::size_t(h / 2) * w + w / 2], kOpaque | kBlock[f]);
        EXPECT_EQ(px[std::size_t(h / 4) * w + w / 4], kOpaque | kBlock[f]);
        EXPECT_EQ(px[std::size_t(h / 4 - 1) * w + w / 4], 0u);  // just above the block
        for (int x = 2; x < w - 2; ++x)
            ASSERT_EQ(px[std::size_t(h - 4) * w + x], kOpaque | kDots[(x + f) % 3]) << x;
    }
    EXPECT_EQ(clip.frame(4), nullptr);
}

INSTANTIATE_TEST_SUITE_P(All, FixtureClips,
                         ::testing::Values(ClipCase{"clip8_64x48.avi", 64, 48},
                                           ClipCase{"clip24_61x45.avi", 61, 45},
                                           ClipCase{"clip_rle8_61x45.avi", 61, 45},
                                           ClipCase{"clip_rle8_delta_61x45.avi", 61, 45}),
                         [](const ::testing::TestParamInfo<ClipCase>& param) {
                             std::string name = param.param.file;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name;
                         });

TEST(AviClip, RefusesWhatTheAnimationControlRefuses) {
    AviClip clip;
    EXPECT_FALSE(clip.open_file(fixture("not_a_clip.avi").c_str()));
    EXPECT_FALSE(clip.open_file(fixture("clip_sound_64x48.avi").c_str()));  // sound
    EXPECT_FALSE(clip.open_file(fixture("missing.avi").c_str()));
    EXPECT_FALSE(clip.is_open());

    const std::vector<uint32_t> palette(256, 0x123456);
    const std::vector<uint8_t> frame(8 * 4, 1);
    ASSERT_TRUE(clip.open(make_avi(8, 4, 0, palette, {frame})));
    struct Bad {
        const char* what;
        std::vector<uint8_t> data;
    };
    const Bad bad[] = {
        {"other codec", make_avi(8, 4, 0x47504A4D /*MJPG*/, palette, {frame})},
        {"RLE8 at 4 bits", make_avi(8, 4, 1, palette, {frame}, 4)},
        {"RLE4", make_avi(8, 4, 2, palette, {frame}, 4)},
        {"short frame", make_avi(8, 4, 0, palette, {std::vector<uint8_t>(31, 1)})},
        {"no frames", make_avi(8, 4, 0, palette, {})},
        {"zero width", make_avi(0, 4, 0, palette, {frame})},
        {"over the budget", make_avi(5000, 5000, 1, palette, {{0, 1}})},
        {"RIFF of another form", [&] {
             auto d = make_avi(8, 4, 0, palette, {frame});
             std::memcpy(d.data() + 8, "WAVE", 4);
             return d;
         }()},
        {"cut before the frames", [&] {
             auto d = make_avi(8, 4, 0, palette, {frame});
             d.resize(d.size() - 40);
             return d;
         }()},
    };
    for (const Bad& b : bad) EXPECT_FALSE(clip.open(b.data)) << b.what;
    EXPECT_FALSE(clip.is_open());
    EXPECT_EQ(clip.frame(0), nullptr);
}

// RLE8 that codes past the right edge, moves the pen below the picture, or
// ends in the middle of a literal run: pixels outside are dropped and the
// frame ends where the coding does.
TEST(AviClip, Rle8OutsideThePictureIsDropped) {
    std::vector<uint32_t> palette(256, 0);
    palette[1] = 0x010101;
    palette[2] = 0x020202;
    palette[3] = 0x030303;
    const std::vector<uint8_t> rle = {
        20, 2,           // row 0 (bottom): a run of 20 in a 4-pixel row
        0,  0,           // end of line
        0,  2, 1, 0,     // move right by one
        0,  3, 3, 3, 3, 0,  // literal of three (padded)
        0,  2, 0, 200,   // move far below the picture
        5,  1,           // never reached
    };
    AviClip clip;
    ASSERT_TRUE(clip.open(make_avi(4, 3, 1, palette, {rle, {0, 3, 1, 1}})));
    const uint32_t* px = clip.frame(0);
    ASSERT_NE(px, nullptr);
    // Top-down: row 2 is the bottom row. Key is the first frame's top-left
    // (palette 0, never coded here).
    const uint32_t k = 0, b2 = kOpaque | 0x020202, b3 = kOpaque | 0x030303;
    const std::vector<uint32_t> want = {k, k, k, k,  k, b3, b3, b3,  b2, b2, b2, b2};
    EXPECT_EQ(std::vector<uint32_t>(px, px + 12), want);
    // A literal run cut off by the end of the data stops the frame.
    ASSERT_NE(clip.frame(1), nullptr);
}

}  // namespace
