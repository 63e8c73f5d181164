// avi_clip: reads the AVI clips the splash window plays, exactly the kind the
// Windows animation control takes: a RIFF AVI file with one video stream and
// no sound, whose frames are uncompressed DIBs (1, 4, 8, 16, 24 or 32 bits
// per pixel) or RLE8. Everything else is refused when the clip is opened.
//
// Portable code with no toolkit in it: the window turns the frames it hands
// out into pictures of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace splash {

class AviClip {
public:
    // Frames up to this many pixels are accepted by default (64 MiB of
    // 32-bit pixels); bigger ones are refused before anything is allocated.
    static constexpr uint64_t kDefaultPixelBudget = 4096ull * 4096ull;

    // Takes the whole file. Returns false (and holds no clip) unless the data
    // is a clip of the accepted kind whose first frame decodes.
    bool open(std::vector<uint8_t> data, uint64_t pixel_budget = kDefaultPixelBudget);
    // Reads the file and opens it; files over 256 MiB are refused unread.
    bool open_file(const char* path, uint64_t pixel_budget = kDefaultPixelBudget);
    void close();
    bool is_open() const { return open_; }

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    uint32_t frame_count() const { return static_cast<uint32_t>(frames_.size()); }
    // Time each frame is shown, in microseconds (the main header's value, or
    // the stream's rate when that is 0), kept between 10 ms and 10 s.
    uint32_t frame_interval_us() const { return interval_us_; }
    // The first frame's top-left colour as 0x00RRGGBB: the transparent colour.
    uint32_t key_color() const { return key_; }

    // Decodes frame `index` (< frame_count()) and returns width() x height()
    // pixels, rows top-down, each 0xAARRGGBB: alpha 255 and the frame's colour,
    // or 0 (fully transparent) where the colour equals key_color(). Frames are
    // decoded in order, as a player shows them: an RLE frame that skips pixels
    // keeps those of the frame before; going back restarts at frame 0. The
    // result stays valid until the next call. Null when no clip is open.
    const uint32_t* frame(uint32_t index);

private:
    struct Span {
        std::size_t offset;  // into data_
        std::size_t size;
    };
    bool parse(uint64_t pixel_budget);
    bool walk_movi(std::size_t begin, std::size_t end, int depth);
    void decode(uint32_t index);
    void decode_rle8(const uint8_t* p, std::size_t size);
    void decode_rgb(const uint8_t* p);
    void to_argb();

    std::vector<uint8_t> data_;
    std::vector<Span> frames_;
    std::vector<uint32_t> palette_;  // 0x00RRGGBB, 256 entries
    std::vector<uint8_t> indices_;   // palettised frames, top-down
    std::vector<uint32_t> pixels_;   // 0x00RRGGBB before keying, then ARGB
    std::vector<uint32_t> colors_;   // the frame's colours, top-down
    bool open_ = false;
    bool rle8_ = false;
    bool top_down_ = false;
    int32_t width_ = 0, height_ = 0;
    uint32_t bpp_ = 0;
    uint32_t interval_us_ = 0;
    uint32_t key_ = 0;
    char stream_id_[2] = {'0', '0'};
    int64_t decoded_ = -1;  // index of the frame in colors_, -1: none
};

}  // namespace splash
