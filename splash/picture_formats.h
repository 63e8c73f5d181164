// The four picture formats of the splash window, read from a file's bytes:
// which format a path names, and the checks and sizes that decide whether the
// bytes are a picture at all. Portable and free of any system call; the
// window implementations hand the checked bytes to their drawing libraries.
//
// Every parser returns false for bytes that are not a valid picture of its
// format, or one whose decoded size exceeds kMaxPicturePixels, and never
// reads outside [data, data + size).
#pragma once

#include <cstddef>
#include <cstdint>

namespace splash {

enum class PictureFormat { kNone, kBitmap, kIcon, kWmf, kEmf };

// The largest picture, in pixels, that is decoded; larger ones are refused
// before anything of their size is allocated.
constexpr uint64_t kMaxPicturePixels = 16384ull * 16384ull;

// The format named by the path's extension ("bmp", "ico", "wmf", "emf", any
// letter case); kNone for any other extension or none.
PictureFormat picture_format_of(const char* path);

// A BMP file: BITMAPFILEHEADER, then a core (12-byte) or info header (40 to
// 124 bytes), optional colour masks, a palette and the pixels. Uncompressed 1,
// 4, 8, 16, 24 and 32 bits per pixel, RLE8, RLE4 and bit fields.
struct BitmapLayout {
    int32_t width = 0;
    int32_t height = 0;          // always positive; see top_down
    bool top_down = false;
    bool core_header = false;    // 12-byte header with 3-byte palette entries
    std::size_t header_offset = 0, header_size = 0;
    std::size_t palette_offset = 0, palette_entries = 0;
    std::size_t bits_offset = 0, bits_size = 0;  // bits_size: bytes available
    uint16_t bit_count = 0;
    uint32_t compression = 0;    // 0 RGB, 1 RLE8, 2 RLE4, 3 bit fields
    uint32_t masks[3] = {0, 0, 0};  // red, green, blue for bit fields
};
bool parse_bitmap(const unsigned char* data, std::size_t size, BitmapLayout& out);

// An ICO file: the image that fits a want_width x want_height icon best: the
// smallest image at least that large, or else the largest one; between images
// of the same size the one with more bits per pixel. Each image is a DIB (with
// its AND mask) or a PNG.
struct IconChoice {
    std::size_t offset = 0, size = 0;  // the chosen image's bytes
    int32_t width = 0, height = 0;
    uint16_t bit_count = 0;
    bool png = false;
};
bool choose_icon(const unsigned char* data, std::size_t size, int32_t want_width,
                 int32_t want_height, IconChoice& out);

// A WMF file, placeable (with the 22-byte header that gives its bounds and
// units per inch) or plain. Its own size in pixels at 96 per inch: the
// placeable bounds / units per inch x 96; for a plain metafile the extent of
// its first SetWindowExt record, one logical unit per pixel (a plain metafile
// without one has no size and is refused).
struct MetafileLayout {
    bool placeable = false;
    std::size_t offset = 0;  // where the standard metafile (METAHEADER) starts
    std::size_t length = 0;  // its bytes
    int32_t width = 0, height = 0;
};
bool parse_wmf(const unsigned char* data, std::size_t size, MetafileLayout& out);

// An EMF file: its own size in pixels at 96 per inch, from the header's frame
// (in 0.01 mm): (right - left) x 96 / 2540, rounded.
bool parse_emf(const unsigned char* data, std::size_t size, int32_t& width, int32_t& height);

// The start of an AVI file (its header list): true when it is a clip that the
// system's animation control is documented to play: one video stream and no
// other (no sound), frames uncompressed or RLE8. `size` may be less than the
// file; a header that does not fit in it is refused.
bool avi_clip_playable(const unsigned char* data, std::size_t size);

}  // namespace splash
