#include "picture_formats.h"

namespace splash {
namespace {

uint16_t u16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
int16_t i16(const unsigned char* p) { return static_cast<int16_t>(u16(p)); }
uint32_t u32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
int32_t i32(const unsigned char* p) { return static_cast<int32_t>(u32(p)); }
uint32_t be32(const unsigned char* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool within_budget(int64_t width, int64_t height) {
    return width > 0 && height > 0 &&
           static_cast<uint64_t>(width) * static_cast<uint64_t>(height) <= kMaxPicturePixels;
}

// Bytes of one row of a DIB, padded to 32 bits.
uint64_t dib_stride(int64_t width, uint32_t bit_count) {
    return ((static_cast<uint64_t>(width) * bit_count + 31) / 32) * 4;
}

// value x 96 / per_inch, rounded to the nearest pixel.
int64_t to_pixels(int64_t value, int64_t per_inch) {
    if (value < 0) value = -value;
    return (value * 96 + per_inch / 2) / per_inch;
}

const unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

}  // namespace

PictureFormat picture_format_of(const char* path) {
    if (path == nullptr) return PictureFormat::kNone;
    const char* dot = nullptr;
    for (const char* p = path; *p != 0; ++p) {
        if (*p == '.') dot = p;
        else if (*p == '/' || *p == '\\') dot = nullptr;
    }
    if (dot == nullptr) return PictureFormat::kNone;
    const char* ext = dot + 1;
    char e[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        if (ext[i] == 0) break;
        if (i == 3) return PictureFormat::kNone;  // longer than three letters
        e[i] = lower(ext[i]);
    }
    if (e[0] == 'b' && e[1] == 'm' && e[2] == 'p') return PictureFormat::kBitmap;
    if (e[0] == 'i' && e[1] == 'c' && e[2] == 'o') return PictureFormat::kIcon;
    if (e[0] == 'w' && e[1] == 'm' && e[2] == 'f') return PictureFormat::kWmf;
    if (e[0] == 'e' && e[1] == 'm' && e[2] == 'f') return PictureFormat::kEmf;
    return PictureFormat::kNone;
}

bool parse_bitmap(const unsigned char* data, std::size_t size, BitmapLayout& out) {
    if (data == nullptr || size < 14 + 12 || data[0] != 'B' || data[1] != 'M') return false;
    BitmapLayout b;
    b.header_offset = 14;
    b.header_size = u32(data + 14);
    const unsigned char* h = data + 14;
    int64_t width, height;
    uint32_t planes, used = 0;
    if (b.header_size == 12) {
        b.core_header = true;
        width = u16(h + 4);
        height = u16(h + 6);
        planes = u16(h + 8);
        b.bit_count = u16(h + 10);
        if (b.bit_count != 1 && b.bit_count != 4 && b.bit_count != 8 && b.bit_count != 24) {
            return false;
        }
    } else {
        if (b.header_size < 40 || b.header_size > 124 || size < 14 + b.header_size) return false;
        width = i32(h + 4);
        height = i32(h + 8);
        planes = u16(h + 12);
        b.bit_count = u16(h + 14);
        b.compression = u32(h + 16);
        used = u32(h + 32);
        switch (b.compression) {
            case 0:
                if (b.bit_count != 1 && b.bit_count != 4 && b.bit_count != 8 &&
                    b.bit_count != 16 && b.bit_count != 24 && b.bit_count != 32) {
                    return false;
                }
                break;
            case 1:
                if (b.bit_count != 8 || height < 0) return false;
                break;
            case 2:
                if (b.bit_count != 4 || height < 0) return false;
                break;
            case 3:
                if (b.bit_count != 16 && b.bit_count != 32) return false;
                break;
            default:
                return false;  // JPEG, PNG and the rest are not bitmaps here
        }
    }
    if (planes != 1) return false;
    if (height < 0) {
        b.top_down = true;
        height = -height;
    }
    if (!within_budget(width, height)) return false;
    b.width = static_cast<int32_t>(width);
    b.height = static_cast<int32_t>(height);

    std::size_t at = 14 + b.header_size;
    if (b.compression == 3) {
        if (b.header_size >= 52) {
            for (int i = 0; i < 3; ++i) b.masks[i] = u32(h + 40 + 4 * i);
        } else {
            if (size < at + 12) return false;
            for (int i = 0; i < 3; ++i) b.masks[i] = u32(data + at + 4 * i);
            at += 12;
        }
        if (b.masks[0] == 0 || b.masks[1] == 0 || b.masks[2] == 0) return false;
    }
    const uint64_t max_entries = b.bit_count <= 8 ? (1u << b.bit_count) : 256u;
    uint64_t entries = used != 0 ? used : (b.bit_count <= 8 ? max_entries : 0);
    if (entries > max_entries) return false;
    const uint64_t entry_size = b.core_header ? 3 : 4;
    if (at + entries * entry_size > size) return false;
    b.palette_offset = at;
    b.palette_entries = static_cast<std::size_t>(entries);
    at += static_cast<std::size_t>(entries * entry_size);

    const uint32_t off_bits = u32(data + 10);
    b.bits_offset = off_bits != 0 ? off_bits : at;
    if (b.bits_offset < 14 + b.header_size || b.bits_offset >= size) return false;
    const uint64_t available = size - b.bits_offset;
    if (b.compression == 1 || b.compression == 2) {
        b.bits_size = static_cast<std::size_t>(available);
    } else {
        const uint64_t need = dib_stride(width, b.bit_count) * static_cast<uint64_t>(height);
        if (need > available) return false;
        b.bits_size = static_cast<std::size_t>(need);
    }
    out = b;
    return true;
}

bool choose_icon(const unsigned char* data, std::size_t size, int32_t want_width,
                 int32_t want_height, IconChoice& out) {
    if (data == nullptr || size < 6 || u16(data) != 0 || u16(data + 2) != 1) return false;
    const std::size_t count = u16(data + 4);
    if (count == 0 || 6 + 16 * count > size) return false;
    bool found = false;
    IconChoice best;
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char* e = data + 6 + 16 * i;
        const std::size_t bytes = u32(e + 8);
        const std::size_t offset = u32(e + 12);
        if (offset > size || bytes > size - offset) continue;
        const unsigned char* img = data + offset;
        IconChoice c;
        c.offset = offset;
        c.size = bytes;
        if (bytes >= 24 && __builtin_memcmp(img, kPngSignature, 8) == 0) {
            if (be32(img + 12) != 0x49484452u) continue;  // "IHDR"
            const uint32_t w = be32(img + 16), hgt = be32(img + 20);
            if (w > 0x7FFFFFFF || hgt > 0x7FFFFFFF || !within_budget(w, hgt)) continue;
            c.png = true;
            c.width = static_cast<int32_t>(w);
            c.height = static_cast<int32_t>(hgt);
            c.bit_count = 32;
        } else {
            if (bytes < 40 || u32(img) < 40 || u32(img) > bytes) continue;
            const int64_t w = i32(img + 4), h2 = i32(img + 8);
            const uint32_t bits = u16(img + 14);
            if (u16(img + 12) != 1 || u32(img + 16) != 0) continue;
            if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) continue;
            if (h2 <= 0 || h2 % 2 != 0 || !within_budget(w, h2 / 2)) continue;
            const int64_t h = h2 / 2;
            uint64_t colors = u32(img + 32);
            if (bits <= 8 && (colors == 0 || colors > (1u << bits))) colors = 1u << bits;
            if (bits > 8) colors = 0;
            const uint64_t need = u32(img) + colors * 4 + dib_stride(w, bits) * h +
                                  dib_stride(w, 1) * h;
            if (need > bytes) continue;
            c.width = static_cast<int32_t>(w);
            c.height = static_cast<int32_t>(h);
            c.bit_count = static_cast<uint16_t>(bits);
        }
        if (!found) {
            best = c;
            found = true;
            continue;
        }
        const bool c_big = c.width >= want_width && c.height >= want_height;
        const bool b_big = best.width >= want_width && best.height >= want_height;
        const int64_t c_area = static_cast<int64_t>(c.width) * c.height;
        const int64_t b_area = static_cast<int64_t>(best.width) * best.height;
        bool better;
        if (c_big != b_big) better = c_big;
        else if (c_area != b_area) better = c_big ? c_area < b_area : c_area > b_area;
        else better = c.bit_count > best.bit_count;
        if (better) best = c;
    }
    if (!found) return false;
    out = best;
    return true;
}

namespace {

// Walks the records of a standard metafile of `length` bytes at `m`; every
// record must lie inside it. Returns false for a malformed one; reports the
// first SetWindowExt record's extent.
bool walk_wmf_records(const unsigned char* m, std::size_t length, int32_t& ext_x,
                      int32_t& ext_y, bool& have_ext) {
    have_ext = false;
    std::size_t at = 18;
    while (at + 6 <= length) {
        const uint64_t words = u32(m + at);
        const uint16_t function = u16(m + at + 4);
        if (words < 3 || words * 2 > length - at) return false;
        if (function == 0) return true;  // end of the metafile
        if (function == 0x020C && !have_ext && words >= 5) {
            ext_y = i16(m + at + 6);
            ext_x = i16(m + at + 8);
            have_ext = true;
        }
        at += static_cast<std::size_t>(words * 2);
    }
    return at == length;
}

}  // namespace

bool parse_wmf(const unsigned char* data, std::size_t size, MetafileLayout& out) {
    if (data == nullptr || size < 18) return false;
    MetafileLayout m;
    int64_t width = 0, height = 0;
    if (u32(data) == 0x9AC6CDD7u) {
        if (size < 22 + 18) return false;
        m.placeable = true;
        m.offset = 22;
        const int64_t left = i16(data + 6), top = i16(data + 8);
        const int64_t right = i16(data + 10), bottom = i16(data + 12);
        const int64_t inch = u16(data + 14);
        if (inch == 0) return false;
        width = to_pixels(right - left, inch);
        height = to_pixels(bottom - top, inch);
    }
    const unsigned char* h = data + m.offset;
    const uint16_t type = u16(h);
    if ((type != 1 && type != 2) || u16(h + 2) != 9) return false;
    const uint64_t length = static_cast<uint64_t>(u32(h + 6)) * 2;
    if (length < 18 || length > size - m.offset) return false;
    m.length = static_cast<std::size_t>(length);
    int32_t ext_x = 0, ext_y = 0;
    bool have_ext = false;
    if (!walk_wmf_records(h, m.length, ext_x, ext_y, have_ext)) return false;
    if (!m.placeable) {
        if (!have_ext) return false;
        width = ext_x < 0 ? -static_cast<int64_t>(ext_x) : ext_x;
        height = ext_y < 0 ? -static_cast<int64_t>(ext_y) : ext_y;
    }
    if (!within_budget(width, height)) return false;
    m.width = static_cast<int32_t>(width);
    m.height = static_cast<int32_t>(height);
    out = m;
    return true;
}

bool parse_emf(const unsigned char* data, std::size_t size, int32_t& width, int32_t& height) {
    if (data == nullptr || size < 88) return false;
    if (u32(data) != 1 || u32(data + 40) != 0x464D4520u) return false;  // EMR_HEADER, " EMF"
    const uint64_t header = u32(data + 4);
    const uint64_t bytes = u32(data + 48);
    if (header < 88 || header > bytes || bytes > size || header % 4 != 0) return false;
    // Every record must lie inside the file; the last one is EMR_EOF.
    uint64_t at = header;
    bool ended = false;
    while (at + 8 <= bytes) {
        const uint32_t type = u32(data + at);
        const uint64_t length = u32(data + at + 4);
        if (length < 8 || length % 4 != 0 || length > bytes - at) return false;
        at += length;
        if (type == 14) {
            ended = true;
            break;
        }
    }
    if (!ended) return false;
    const int64_t w = to_pixels(static_cast<int64_t>(i32(data + 32)) - i32(data + 24), 2540);
    const int64_t h = to_pixels(static_cast<int64_t>(i32(data + 36)) - i32(data + 28), 2540);
    if (!within_budget(w, h)) return false;
    width = static_cast<int32_t>(w);
    height = static_cast<int32_t>(h);
    return true;
}

namespace {

bool fourcc(const unsigned char* p, const char* code) { return __builtin_memcmp(p, code, 4) == 0; }

// Finds the chunk `id` (or the list of type `id` when `list`) among the
// chunks in [at, end); returns its data offset and size.
bool find_chunk(const unsigned char* data, std::size_t at, std::size_t end, const char* id,
                bool list, std::size_t& data_at, std::size_t& data_size) {
    while (at + 8 <= end) {
        const std::size_t length = u32(data + at + 4);
        if (length > end - at - 8) return false;
        if (list && fourcc(data + at, "LIST") && length >= 4 && fourcc(data + at + 8, id)) {
            data_at = at + 12;
            data_size = length - 4;
            return true;
        }
        if (!list && fourcc(data + at, id)) {
            data_at = at + 8;
            data_size = length;
            return true;
        }
        at += 8 + length + (length & 1);
    }
    return false;
}

}  // namespace

bool avi_clip_playable(const unsigned char* data, std::size_t size) {
    if (data == nullptr || size < 12 || !fourcc(data, "RIFF") || !fourcc(data + 8, "AVI ")) {
        return false;
    }
    std::size_t hdrl = 0, hdrl_size = 0, at = 0, n = 0;
    if (!find_chunk(data, 12, size, "hdrl", true, hdrl, hdrl_size)) return false;
    const std::size_t hdrl_end = hdrl + hdrl_size;
    if (!find_chunk(data, hdrl, hdrl_end, "avih", false, at, n) || n < 40) return false;
    if (u32(data + at + 24) != 1) return false;  // dwStreams: video only
    std::size_t strl = 0, strl_size = 0;
    if (!find_chunk(data, hdrl, hdrl_end, "strl", true, strl, strl_size)) return false;
    if (!find_chunk(data, strl, strl + strl_size, "strh", false, at, n) || n < 8) return false;
    if (!fourcc(data + at, "vids")) return false;
    if (!find_chunk(data, strl, strl + strl_size, "strf", false, at, n) || n < 40) return false;
    const uint32_t compression = u32(data + at + 16);
    return compression == 0 || compression == 1;  // BI_RGB, BI_RLE8
}

}  // namespace splash
