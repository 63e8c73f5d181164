// avi_clip: see avi_clip.h. Every read of the file data is checked against the
// bounds of the chunk it belongs to; nothing is allocated for a frame before
// its size has passed the pixel budget.
#include "avi_clip.h"

#include <cstdio>
#include <cstring>
#include <utility>

namespace splash {

namespace {

uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
bool is_fcc(const uint8_t* p, const char* fcc) { return std::memcmp(p, fcc, 4) == 0; }

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr std::size_t kMaxFileSize = 256u << 20;
constexpr uint32_t kMinIntervalUs = 10000;
constexpr uint32_t kMaxIntervalUs = 10000000;
constexpr uint32_t kDefaultIntervalUs = 100000;

// One chunk inside [pos, end): its id, its body and where the next one starts.
struct Chunk {
    const uint8_t* id;
    std::size_t body;
    std::size_t size;  // clamped to the enclosing range
    std::size_t next;
};

// Reads the chunk header at `pos`; false when no whole header fits. A body
// that runs past `end` is cut at `end` (truncated files keep what they hold).
bool read_chunk(const std::vector<uint8_t>& d, std::size_t pos, std::size_t end, Chunk* c) {
    if (pos > end || end - pos < 8) return false;
    c->id = d.data() + pos;
    const uint64_t size = le32(d.data() + pos + 4);
    c->body = pos + 8;
    const uint64_t room = end - c->body;
    c->size = static_cast<std::size_t>(size < room ? size : room);
    const uint64_t next = uint64_t(c->body) + size + (size & 1);
    c->next = static_cast<std::size_t>(next < end ? next : end);
    return true;
}

uint64_t row_bytes(uint64_t width, uint32_t bpp) { return ((width * bpp + 31) / 32) * 4; }

uint32_t expand5(uint32_t v) { return (v << 3) | (v >> 2); }

}  // namespace

void AviClip::close() {
    open_ = false;
    data_.clear();
    data_.shrink_to_fit();
    frames_.clear();
    frames_.shrink_to_fit();
    indices_.clear();
    indices_.shrink_to_fit();
    colors_.clear();
    colors_.shrink_to_fit();
    pixels_.clear();
    pixels_.shrink_to_fit();
    palette_.clear();
    width_ = height_ = 0;
    decoded_ = -1;
}

bool AviClip::open_file(const char* path, uint64_t pixel_budget) {
    close();
    FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return false;
    std::vector<uint8_t> data;
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    const long size = ok ? std::ftell(f) : -1;
    ok = ok && size > 0 && static_cast<unsigned long>(size) <= kMaxFileSize &&
         std::fseek(f, 0, SEEK_SET) == 0;
    if (ok) {
        data.resize(static_cast<std::size_t>(size));
        ok = std::fread(data.data(), 1, data.size(), f) == data.size();
    }
    std::fclose(f);
    return ok && open(std::move(data), pixel_budget);
}

bool AviClip::open(std::vector<uint8_t> data, uint64_t pixel_budget) {
    close();
    data_ = std::move(data);
    if (!parse(pixel_budget)) {
        close();
        return false;
    }
    open_ = true;
    // The first frame fixes the transparent colour: its top-left pixel.
    decoded_ = -1;
    decode(0);
    const std::size_t top_left = 0;
    key_ = bpp_ <= 8 ? palette_[indices_[top_left]] : colors_[top_left];
    to_argb();
    decoded_ = 0;
    return true;
}

bool AviClip::parse(uint64_t pixel_budget) {
    const std::vector<uint8_t>& d = data_;
    if (d.size() < 12 || !is_fcc(d.data(), "RIFF") || !is_fcc(d.data() + 8, "AVI ")) return false;
    const uint64_t riff_size = le32(d.data() + 4);
    const std::size_t riff_end =
        static_cast<std::size_t>(riff_size + 8 < d.size() ? riff_size + 8 : d.size());

    bool have_avih = false, have_video = false;
    uint32_t usec_per_frame = 0, rate = 0, scale = 0;
    std::size_t movi_begin = 0, movi_end = 0;
    bool have_movi = false;
    const uint8_t* bih = nullptr;
    std::size_t bih_size = 0;

    Chunk top;
    for (std::size_t pos = 12; read_chunk(d, pos, riff_end, &top); pos = top.next) {
        if (!is_fcc(top.id, "LIST") || top.size < 4) continue;
        const uint8_t* type = d.data() + top.body;
        const std::size_t list_begin = top.body + 4, list_end = top.body + top.size;
        if (is_fcc(type, "movi") && !have_movi) {
            have_movi = true;
            movi_begin = list_begin;
            movi_end = list_end;
            continue;
        }
        if (!is_fcc(type, "hdrl") || have_avih) continue;
        int stream = 0;
        Chunk h;
        for (std::size_t hp = list_begin; read_chunk(d, hp, list_end, &h); hp = h.next) {
            if (is_fcc(h.id, "avih")) {
                if (h.size < 56) return false;
                have_avih = true;
                usec_per_frame = le32(d.data() + h.body);
                continue;
            }
            if (!is_fcc(h.id, "LIST") || h.size < 4 || !is_fcc(d.data() + h.body, "strl")) continue;
            // One stream: its header says what it carries, its format how.
            const uint8_t* strh = nullptr;
            std::size_t strh_size = 0;
            const uint8_t* strf = nullptr;
            std::size_t strf_size = 0;
            Chunk s;
            for (std::size_t sp = h.body + 4; read_chunk(d, sp, h.body + h.size, &s); sp = s.next) {
                if (is_fcc(s.id, "strh") && strh == nullptr) {
                    strh = d.data() + s.body;
                    strh_size = s.size;
                } else if (is_fcc(s.id, "strf") && strf == nullptr) {
                    strf = d.data() + s.body;
                    strf_size = s.size;
                }
            }
            if (strh == nullptr || strh_size < 48) return false;
            if (is_fcc(strh, "auds")) return false;  // clips with sound are refused
            if (is_fcc(strh, "vids") && !have_video) {
                if (strf == nullptr || strf_size < 40) return false;
                have_video = true;
                scale = le32(strh + 20);
                rate = le32(strh + 24);
                bih = strf;
                bih_size = strf_size;
                stream_id_[0] = static_cast<char>('0' + stream / 10 % 10);
                stream_id_[1] = static_cast<char>('0' + stream % 10);
            }
            ++stream;
        }
    }
    if (!have_avih || !have_video || !have_movi) return false;

    // The frame format.
    const uint32_t header_size = le32(bih);
    const int32_t width = static_cast<int32_t>(le32(bih + 4));
    const int32_t height = static_cast<int32_t>(le32(bih + 8));
    const uint32_t bpp = le16(bih + 14);
    const uint32_t compression = le32(bih + 16);
    const uint32_t colors_used = le32(bih + 32);
    if (header_size < 40 || header_size > bih_size) return false;
    if (width <= 0 || height == 0 || height == INT32_MIN) return false;
    if (compression == kBiRle8) {
        if (bpp != 8 || height < 0) return false;
    } else if (compression == kBiRgb) {
        if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
    } else {
        return false;
    }
    const uint64_t abs_height = height < 0 ? uint64_t(-int64_t(height)) : uint64_t(height);
    if (uint64_t(width) > 65535 || abs_height > 65535 ||
        uint64_t(width) * abs_height > pixel_budget)
        return false;
    width_ = width;
    height_ = static_cast<int32_t>(abs_height);
    bpp_ = bpp;
    rle8_ = compression == kBiRle8;
    top_down_ = height < 0;

    palette_.assign(256, 0);
    if (bpp <= 8) {
        uint64_t count = colors_used != 0 ? colors_used : (1u << bpp);
        if (count > (1u << bpp)) count = 1u << bpp;
        const uint64_t available = (bih_size - header_size) / 4;
        if (count > available) count = available;
        for (std::size_t i = 0; i < count; ++i) {
            const uint8_t* q = bih + header_size + 4 * i;
            palette_[i] = uint32_t(q[2]) << 16 | uint32_t(q[1]) << 8 | q[0];
        }
    }

    if (usec_per_frame == 0 && rate != 0) {
        const uint64_t us = uint64_t(scale) * 1000000u / rate;
        usec_per_frame = us > kMaxIntervalUs ? kMaxIntervalUs : static_cast<uint32_t>(us);
    }
    if (usec_per_frame == 0) usec_per_frame = kDefaultIntervalUs;
    if (usec_per_frame < kMinIntervalUs) usec_per_frame = kMinIntervalUs;
    if (usec_per_frame > kMaxIntervalUs) usec_per_frame = kMaxIntervalUs;
    interval_us_ = usec_per_frame;

    if (!walk_movi(movi_begin, movi_end, 0) || frames_.empty()) return false;
    if (!rle8_) {
        // An uncompressed frame holds all its rows; an empty one repeats the
        // frame before.
        const uint64_t need = row_bytes(uint64_t(width_), bpp_) * uint64_t(height_);
        for (const Span& f : frames_)
            if (f.size != 0 && f.size < need) return false;
    }

    const std::size_t pixels = std::size_t(width_) * std::size_t(height_);
    if (bpp_ <= 8) indices_.assign(pixels, 0);
    colors_.assign(pixels, 0);
    pixels_.assign(pixels, 0);
    return true;
}

// Collects the video stream's frame chunks ("NNdb", "NNdc"), also inside
// "rec " lists.
bool AviClip::walk_movi(std::size_t begin, std::size_t end, int depth) {
    if (depth > 4) return true;
    Chunk c;
    for (std::size_t pos = begin; read_chunk(data_, pos, end, &c); pos = c.next) {
        if (is_fcc(c.id, "LIST")) {
            if (c.size >= 4 && is_fcc(data_.data() + c.body, "rec "))
                walk_movi(c.body + 4, c.body + c.size, depth + 1);
            continue;
        }
        if (c.id[0] != stream_id_[0] || c.id[1] != stream_id_[1]) continue;
        if ((c.id[2] == 'd' && c.id[3] == 'b') || (c.id[2] == 'd' && c.id[3] == 'c'))
            frames_.push_back(Span{c.body, c.size});
    }
    return true;
}

const uint32_t* AviClip::frame(uint32_t index) {
    if (!open_ || index >= frames_.size()) return nullptr;
    if (decoded_ == int64_t(index)) return pixels_.data();
    if (!rle8_) {
        decode(index);
    } else {
        // RLE frames may skip pixels, which keep the frame before: decode in
        // order, from the start when going back.
        uint32_t next = 0;
        if (decoded_ >= 0 && int64_t(index) > decoded_) {
            next = static_cast<uint32_t>(decoded_ + 1);
        } else {
            std::memset(indices_.data(), 0, indices_.size());
        }
        for (; next <= index; ++next) decode(next);
    }
    to_argb();
    decoded_ = index;
    return pixels_.data();
}

void AviClip::decode(uint32_t index) {
    const Span& f = frames_[index];
    if (f.size == 0) return;  // a repeated frame
    const uint8_t* p = data_.data() + f.offset;
    if (rle8_)
        decode_rle8(p, f.size);
    else
        decode_rgb(p);
}

void AviClip::decode_rgb(const uint8_t* p) {
    const std::size_t w = std::size_t(width_), h = std::size_t(height_);
    const std::size_t stride = static_cast<std::size_t>(row_bytes(w, bpp_));
    for (std::size_t y = 0; y < h; ++y) {
        const uint8_t* row = p + (top_down_ ? y : h - 1 - y) * stride;
        if (bpp_ <= 8) {
            uint8_t* out = indices_.data() + y * w;
            const uint32_t per_byte = 8 / bpp_, mask = (1u << bpp_) - 1;
            for (std::size_t x = 0; x < w; ++x) {
                const uint32_t shift = 8 - bpp_ * (1 + uint32_t(x % per_byte));
                out[x] = static_cast<uint8_t>((row[x / per_byte] >> shift) & mask);
            }
            continue;
        }
        uint32_t* out = colors_.data() + y * w;
        for (std::size_t x = 0; x < w; ++x) {
            if (bpp_ == 16) {
                const uint32_t v = le16(row + 2 * x);
                out[x] = expand5((v >> 10) & 31) << 16 | expand5((v >> 5) & 31) << 8 |
                         expand5(v & 31);
            } else {
                const uint8_t* q = row + x * (bpp_ / 8);
                out[x] = uint32_t(q[2]) << 16 | uint32_t(q[1]) << 8 | q[0];
            }
        }
    }
}

// RLE8 as BI_RLE8 DIBs code it: rows from the bottom; pairs (count, index),
// or 0 followed by 0 (end of line), 1 (end of picture), 2 dx dy (move the
// pen) or n >= 3 (n literal indices, padded to an even length). Pixels past
// the right edge are dropped; coding past the last row ends the frame.
void AviClip::decode_rle8(const uint8_t* p, std::size_t size) {
    const std::size_t w = std::size_t(width_), h = std::size_t(height_);
    std::size_t x = 0, y = 0, i = 0;  // y counts rows from the bottom
    auto put = [&](uint8_t v) {
        if (x < w) indices_[(h - 1 - y) * w + x] = v;
        ++x;
    };
    while (i + 2 <= size && y < h) {
        const uint8_t count = p[i], value = p[i + 1];
        i += 2;
        if (count != 0) {
            for (uint32_t k = 0; k < count && x < w; ++k) put(value);
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            ++y;
        } else if (value == 1) {  // end of picture
            break;
        } else if (value == 2) {  // move the pen
            if (i + 2 > size) break;
            x += p[i];
            y += p[i + 1];
            i += 2;
        } else {  // literal run
            const std::size_t n = value;
            if (n > size - i) break;
            for (std::size_t k = 0; k < n && x < w; ++k) put(p[i + k]);
            i += n + (n & 1);
        }
    }
}

void AviClip::to_argb() {
    const std::size_t n = pixels_.size();
    for (std::size_t k = 0; k < n; ++k) {
        const uint32_t c = bpp_ <= 8 ? palette_[indices_[k]] : colors_[k];
        pixels_[k] = c == key_ ? 0u : 0xFF000000u | c;
    }
}

}  // namespace splash
