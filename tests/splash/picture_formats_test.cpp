// The picture format checks: extensions, sizes, and refusal of damaged or
// oversized files before anything is decoded.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "picture_formats.h"

namespace {

using splash::PictureFormat;
using Bytes = std::vector<unsigned char>;

void put16(Bytes& b, std::size_t at, uint32_t v) {
    if (b.size() < at + 2) b.resize(at + 2);
    b[at] = static_cast<unsigned char>(v);
    b[at + 1] = static_cast<unsigned char>(v >> 8);
}
void put32(Bytes& b, std::size_t at, uint32_t v) {
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}

// A BMP with a 40-byte header; pixels zero.
Bytes bmp(int32_t width, int32_t height, uint16_t bits, uint32_t compression = 0,
          std::size_t pixel_bytes = SIZE_MAX, uint32_t palette = 0) {
    const uint32_t entries = palette != 0 ? palette : (bits <= 8 ? 1u << bits : 0);
    const std::size_t offset = 14 + 40 + entries * 4;
    const int64_t h = height < 0 ? -height : height;
    const std::size_t stride = ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4;
    if (pixel_bytes == SIZE_MAX) pixel_bytes = stride * static_cast<std::size_t>(h);
    Bytes b(offset + pixel_bytes, 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, static_cast<uint32_t>(b.size()));
    put32(b, 10, static_cast<uint32_t>(offset));
    put32(b, 14, 40);
    put32(b, 18, static_cast<uint32_t>(width));
    put32(b, 22, static_cast<uint32_t>(height));
    put16(b, 26, 1);
    put16(b, 28, bits);
    put32(b, 30, compression);
    put32(b, 46, palette);
    return b;
}

TEST(PictureFormats, ExtensionChoosesTheFormatWithoutRegardToCase) {
    struct Case {
        const char* path;
        PictureFormat format;
    } const cases[] = {
        {"a.bmp", PictureFormat::kBitmap}, {"A.BMP", PictureFormat::kBitmap},
        {"dir/x.Ico", PictureFormat::kIcon}, {"x.wmf", PictureFormat::kWmf},
        {"C:\\p\\x.EmF", PictureFormat::kEmf}, {"x.gif", PictureFormat::kNone},
        {"bmp", PictureFormat::kNone}, {"x.bmpx", PictureFormat::kNone},
        {"x.bm", PictureFormat::kNone}, {"dir.bmp/x", PictureFormat::kNone},
        {"x.", PictureFormat::kNone}, {"", PictureFormat::kNone},
    };
    for (const Case& c : cases) EXPECT_EQ(splash::picture_format_of(c.path), c.format) << c.path;
}

TEST(PictureFormats, BitmapsOfEveryDepthAndTheirDamage) {
    splash::BitmapLayout l;
    for (int depth : {1, 4, 8, 16, 24, 32}) {
        const uint16_t bits = static_cast<uint16_t>(depth);
        Bytes b = bmp(5, 3, bits);
        ASSERT_TRUE(splash::parse_bitmap(b.data(), b.size(), l)) << bits;
        EXPECT_EQ(l.width, 5);
        EXPECT_EQ(l.height, 3);
        EXPECT_FALSE(l.top_down);
        b.pop_back();  // one pixel byte short
        EXPECT_FALSE(splash::parse_bitmap(b.data(), b.size(), l)) << bits;
    }
    Bytes top_down = bmp(4, -2, 24);
    ASSERT_TRUE(splash::parse_bitmap(top_down.data(), top_down.size(), l));
    EXPECT_TRUE(l.top_down);
    EXPECT_EQ(l.height, 2);

    const Bytes bad[] = {
        bmp(0, 3, 24),                 // no width
        bmp(3, 0, 24),                 // no height
        bmp(3, 3, 7),                  // no such depth
        bmp(3, 3, 24, 1),              // RLE8 needs 8 bits
        bmp(3, -3, 8, 1, 16),          // RLE top-down
        bmp(3, 3, 24, 4),              // JPEG inside
        bmp(3, 3, 8, 0, SIZE_MAX, 300),  // more colours than 8 bits hold
        bmp(20000, 20000, 24, 0, 16),  // over the pixel budget, no pixels behind it
        bmp(16385, 16384, 8, 1, 16),   // RLE: tiny data, too many pixels
    };
    for (const Bytes& b : bad) EXPECT_FALSE(splash::parse_bitmap(b.data(), b.size(), l));
    Bytes rle = bmp(16384, 16384, 8, 1, 16);
    EXPECT_TRUE(splash::parse_bitmap(rle.data(), rle.size(), l));  // exactly the budget
    // Every truncation of a valid file is refused without reading past it.
    const Bytes good = bmp(3, 2, 8);
    for (std::size_t n = 0; n < good.size(); ++n) {
        const Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_FALSE(splash::parse_bitmap(cut.data(), cut.size(), l)) << n;
    }
}

Bytes ico(const std::vector<std::pair<int, uint16_t>>& images) {
    Bytes b(6 + 16 * images.size(), 0);
    put16(b, 2, 1);
    put16(b, 4, static_cast<uint32_t>(images.size()));
    for (std::size_t i = 0; i < images.size(); ++i) {
        const int n = images[i].first;
        const uint16_t bits = images[i].second;
        const std::size_t stride = ((static_cast<std::size_t>(n) * bits + 31) / 32) * 4;
        const std::size_t mask = ((static_cast<std::size_t>(n) + 31) / 32) * 4;
        const std::size_t colors = bits <= 8 ? (1u << bits) : 0;
        const std::size_t bytes = 40 + colors * 4 + (stride + mask) * n;
        const std::size_t at = b.size();
        b.resize(at + bytes, 0);
        const std::size_t e = 6 + 16 * i;
        b[e] = static_cast<unsigned char>(n);
        b[e + 1] = static_cast<unsigned char>(n);
        put16(b, e + 6, bits);
        put32(b, e + 8, static_cast<uint32_t>(bytes));
        put32(b, e + 12, static_cast<uint32_t>(at));
        put32(b, at, 40);
        put32(b, at + 4, static_cast<uint32_t>(n));
        put32(b, at + 8, static_cast<uint32_t>(2 * n));
        put16(b, at + 12, 1);
        put16(b, at + 14, bits);
    }
    return b;
}

TEST(PictureFormats, IconChoosesTheBestFittingImage) {
    struct Case {
        std::vector<std::pair<int, uint16_t>> images;
        int width;
        uint16_t bits;
    } const cases[] = {
        {{{16, 32}, {32, 32}}, 32, 32},           // exact size
        {{{48, 32}, {16, 32}, {64, 32}}, 48, 32}, // smallest at least 32
        {{{16, 32}, {24, 8}}, 24, 8},             // else the largest
        {{{32, 4}, {32, 32}, {32, 8}}, 32, 32},   // same size: more colours
    };
    for (const Case& c : cases) {
        const Bytes b = ico(c.images);
        splash::IconChoice choice;
        ASSERT_TRUE(splash::choose_icon(b.data(), b.size(), 32, 32, choice));
        EXPECT_EQ(choice.width, c.width);
        EXPECT_EQ(choice.height, c.width);
        EXPECT_EQ(choice.bit_count, c.bits);
    }
    // A damaged image is passed over; with none left the file is refused.
    Bytes b = ico({{16, 32}, {32, 32}});
    b.resize(b.size() - 1);
    splash::IconChoice choice;
    ASSERT_TRUE(splash::choose_icon(b.data(), b.size(), 32, 32, choice));
    EXPECT_EQ(choice.width, 16);
    b.resize(30);
    EXPECT_FALSE(splash::choose_icon(b.data(), b.size(), 32, 32, choice));
}

// A standard metafile: header, the given records, the end record.
Bytes wmf(const std::vector<std::vector<uint16_t>>& records, bool placeable, int right = 1440,
          int bottom = 720, int inch = 1440) {
    std::vector<uint16_t> words;
    if (placeable) {
        words = {0xCDD7, 0x9AC6, 0, 0, 0, static_cast<uint16_t>(right),
                 static_cast<uint16_t>(bottom), static_cast<uint16_t>(inch), 0, 0, 0};
    }
    const std::size_t head = words.size();
    words.insert(words.end(), {1, 9, 0x300, 0, 0, 0, 0, 0, 0});
    for (const auto& r : records) {
        const uint32_t size = static_cast<uint32_t>(r.size() + 2);
        words.push_back(static_cast<uint16_t>(size));
        words.push_back(static_cast<uint16_t>(size >> 16));
        words.insert(words.end(), r.begin(), r.end());
    }
    words.insert(words.end(), {3, 0, 0});
    words[head + 3] = static_cast<uint16_t>(words.size() - head);
    Bytes b;
    for (uint16_t w : words) {
        b.push_back(static_cast<unsigned char>(w));
        b.push_back(static_cast<unsigned char>(w >> 8));
    }
    return b;
}

TEST(PictureFormats, MetafileSizes) {
    splash::MetafileLayout m;
    Bytes placeable = wmf({{0x0103, 8}}, true);
    ASSERT_TRUE(splash::parse_wmf(placeable.data(), placeable.size(), m));
    EXPECT_TRUE(m.placeable);
    EXPECT_EQ(m.width, 96);
    EXPECT_EQ(m.height, 48);
    // Plain: the first SetWindowExt (y, x) gives the size.
    Bytes plain = wmf({{0x020C, 40, 80}, {0x020C, 1, 1}}, false);
    ASSERT_TRUE(splash::parse_wmf(plain.data(), plain.size(), m));
    EXPECT_FALSE(m.placeable);
    EXPECT_EQ(m.width, 80);
    EXPECT_EQ(m.height, 40);

    Bytes no_extent = wmf({{0x0103, 8}}, false);
    Bytes no_inch = wmf({}, true, 1440, 720, 0);
    Bytes broken = wmf({{0x020C, 40, 80}}, false);
    put32(broken, 18, 9999);  // a record longer than the metafile
    Bytes huge = wmf({{0x020C, 32000, 32000}}, true, 32000, 32000, 1);
    for (const Bytes* b : {&no_extent, &no_inch, &broken, &huge}) {
        EXPECT_FALSE(splash::parse_wmf(b->data(), b->size(), m));
    }
}

Bytes emf(int32_t right, int32_t bottom) {
    Bytes b(88 + 20, 0);
    put32(b, 0, 1);
    put32(b, 4, 88);
    put32(b, 32, static_cast<uint32_t>(right));
    put32(b, 36, static_cast<uint32_t>(bottom));
    put32(b, 40, 0x464D4520u);
    put32(b, 48, static_cast<uint32_t>(b.size()));
    put32(b, 88, 14);  // EMR_EOF
    put32(b, 92, 20);
    return b;
}

TEST(PictureFormats, EnhancedMetafileSizeFromItsFrame) {
    int32_t w = 0, h = 0;
    Bytes good = emf(2540, 1270);
    ASSERT_TRUE(splash::parse_emf(good.data(), good.size(), w, h));
    EXPECT_EQ(w, 96);
    EXPECT_EQ(h, 48);
    Bytes empty = emf(0, 1270);
    Bytes huge = emf(2000000000, 2000000000);
    Bytes no_eof = emf(2540, 1270);
    put32(no_eof, 88, 10);
    Bytes cut = emf(2540, 1270);
    cut.resize(100);
    for (const Bytes* b : {&empty, &huge, &no_eof, &cut}) {
        EXPECT_FALSE(splash::parse_emf(b->data(), b->size(), w, h));
    }
}

}  // namespace
