// The Linux picture readers: each fixture at its own size with its colours
// where the fixture README says, and the files that must be refused.
#include <gtest/gtest.h>

#include <cairo.h>

#include <string>
#include <vector>

#include "avi_test_util.h"
#include "metafile_cairo.h"
#include "picture_cairo.h"

namespace {

struct Rgba {
    int r, g, b, a;
};

Rgba pixel(cairo_surface_t* s, int x, int y) {
    cairo_surface_flush(s);
    const unsigned char* row =
        cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s);
    const uint32_t v = reinterpret_cast<const uint32_t*>(row)[x];
    const int a = int(v >> 24);
    // Back from premultiplied colour.
    auto un = [&](uint32_t c) { return a == 0 ? 0 : int((c * 255 + uint32_t(a) / 2) / uint32_t(a)); };
    return Rgba{un(v >> 16 & 0xFF), un(v >> 8 & 0xFF), un(v & 0xFF), a};
}

struct Spot {
    int x, y;
    Rgba want;  // a == 0: transparent, colour ignored
};

const Rgba kRed{255, 0, 0, 255}, kLime{0, 255, 0, 255}, kBlue{0, 0, 255, 255},
    kYellow{255, 255, 0, 255}, kFuchsia{255, 0, 255, 255}, kAqua{0, 255, 255, 255},
    kOrange{255, 128, 0, 255}, kBlack{0, 0, 0, 255}, kNavy{0, 0, 128, 255},
    kSilver{192, 192, 192, 255}, kTeal{0, 128, 128, 255}, kClear{0, 0, 0, 0};

struct PictureCase {
    const char* file;
    int width, height;
    std::vector<Spot> spots;
};

TEST(Pictures, FixturesAtTheirOwnSizeWithTheirColours) {
    const PictureCase cases[] = {
        {"bmp24_100x50.bmp", 100, 50, {{10, 5, kRed}, {90, 5, kLime}, {10, 45, kBlue}, {90, 45, kYellow}}},
        {"bmp8_64x32.bmp", 64, 32, {{8, 16, kFuchsia}, {24, 16, kAqua}, {40, 16, kOrange}, {56, 16, kBlack}}},
        {"bmp1_32x16.bmp", 32, 16, {{4, 4, kNavy}, {12, 4, kSilver}, {4, 12, kSilver}, {12, 12, kNavy}}},
        {"icon_16_32.ico", 32, 32, {{3, 3, kClear}, {7, 7, kClear}, {8, 8, kRed}, {20, 20, kRed}, {28, 4, kRed}}},
        // Natural size of a placeable metafile: bounds / units per inch x 96.
        {"placeable_96x48.wmf", 96, 48,
         {{24, 24, kLime}, {4, 4, kRed}, {4, 44, kRed}, {72, 24, kBlue}, {47, 2, kRed}, {49, 2, kBlue}}},
        // A plain metafile: its window extent, one unit per pixel.
        {"plain_80x40.wmf", 80, 40, {{40, 8, kFuchsia}, {40, 32, kTeal}, {1, 1, kFuchsia}, {78, 38, kTeal}}},
        // An enhanced metafile: its frame in 0.01 mm x 96 / 2540.
        {"shapes_96x48.emf", 96, 48, {{24, 24, kFuchsia}, {4, 4, kYellow}, {72, 24, kNavy}, {93, 45, kNavy}}},
    };
    for (const PictureCase& c : cases) {
        SCOPED_TRACE(c.file);
        cairo_surface_t* s = splash::load_picture_surface(avi_test::fixture(c.file).c_str());
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(cairo_image_surface_get_width(s), c.width);
        EXPECT_EQ(cairo_image_surface_get_height(s), c.height);
        for (const Spot& spot : c.spots) {
            const Rgba got = pixel(s, spot.x, spot.y);
            if (spot.want.a == 0) {
                EXPECT_EQ(got.a, 0) << spot.x << "," << spot.y;
            } else {
                EXPECT_TRUE(got.a == 255 && got.r == spot.want.r && got.g == spot.want.g &&
                            got.b == spot.want.b)
                    << spot.x << "," << spot.y << " is " << got.r << "," << got.g << "," << got.b
                    << "," << got.a;
            }
        }
        cairo_surface_destroy(s);
    }
}

TEST(Pictures, RefusesFilesThatAreNotPicturesOfTheirExtension) {
    const std::string cases[] = {
        "not_a_picture.bmp",    "not_a_picture.emf", "huge_20000x20000.bmp",
        "clip8_64x48.avi",      "missing.bmp",
    };
    for (const std::string& name : cases)
        EXPECT_EQ(splash::load_picture_surface(avi_test::fixture(name).c_str()), nullptr) << name;
    // The content decides nothing: a valid bitmap under another extension,
    // and an icon named .bmp, are refused.
    const std::string tmp = ::testing::TempDir();
    const std::vector<uint8_t> bmp = avi_test::read_file(avi_test::fixture("bmp24_100x50.bmp"));
    const std::vector<uint8_t> ico = avi_test::read_file(avi_test::fixture("icon_16_32.ico"));
    for (const auto& [name, data] : {std::pair{"splash_picture.gif", bmp}, std::pair{"splash_picture", bmp},
                                     std::pair{"splash_icon.bmp", ico}, std::pair{"splash_bitmap.wmf", bmp}}) {
        const std::string path = tmp + name;
        FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(data.data(), 1, data.size(), f);
        std::fclose(f);
        EXPECT_EQ(splash::load_picture_surface(path.c_str()), nullptr) << name;
        std::remove(path.c_str());
    }
    // Upper-case extensions are the same formats.
    const std::string upper = tmp + "SPLASH_PICTURE.BMP";
    FILE* f = std::fopen(upper.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bmp.data(), 1, bmp.size(), f);
    std::fclose(f);
    cairo_surface_t* s = splash::load_picture_surface(upper.c_str());
    EXPECT_NE(s, nullptr);
    if (s != nullptr) cairo_surface_destroy(s);
    std::remove(upper.c_str());
}

// Drawn at another size, a metafile maps its window (WMF) or frame (EMF)
// onto the whole picture.
TEST(Pictures, MetafilesScaleToTheSizeAsked) {
    const std::vector<uint8_t> wmf = avi_test::read_file(avi_test::fixture("placeable_96x48.wmf"));
    const std::vector<uint8_t> emf = avi_test::read_file(avi_test::fixture("shapes_96x48.emf"));
    cairo_surface_t* w = splash::render_wmf(wmf.data(), wmf.size(), 192, 192);
    cairo_surface_t* e = splash::render_emf(emf.data(), emf.size(), 192, 192);
    ASSERT_NE(w, nullptr);
    ASSERT_NE(e, nullptr);
    for (const Spot& s : std::vector<Spot>{{48, 96, kLime}, {8, 180, kRed}, {150, 180, kBlue}}) {
        const Rgba got = pixel(w, s.x, s.y);
        EXPECT_TRUE(got.r == s.want.r && got.g == s.want.g && got.b == s.want.b && got.a == 255)
            << "wmf " << s.x << "," << s.y;
    }
    for (const Spot& s : std::vector<Spot>{{48, 96, kFuchsia}, {8, 180, kYellow}, {150, 180, kNavy}}) {
        const Rgba got = pixel(e, s.x, s.y);
        EXPECT_TRUE(got.r == s.want.r && got.g == s.want.g && got.b == s.want.b && got.a == 255)
            << "emf " << s.x << "," << s.y;
    }
    cairo_surface_destroy(w);
    cairo_surface_destroy(e);
}

}  // namespace
