// Helpers for the clip reader tests: the fixture folder, file reading, and a
// small AVI writer for clips made on the spot.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <cstdio>
#include <string>
#include <vector>

namespace avi_test {

inline std::string fixture(const std::string& name) {
    return std::string(SPLASH_FIXTURE_DIR) + "/" + name;
}

inline std::vector<uint8_t> read_file(const std::string& path) {
    std::vector<uint8_t> data;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        uint8_t buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.insert(data.end(), buf, buf + n);
        std::fclose(f);
    }
    return data;
}

inline void put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
inline void put32(std::vector<uint8_t>& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
inline void fcc(std::vector<uint8_t>& b, const char* f) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(f[i]));
}
inline void append(std::vector<uint8_t>& b, std::initializer_list<uint8_t> bytes) {
    for (uint8_t v : bytes) b.push_back(v);
}
inline void append(std::vector<uint8_t>& b, const std::vector<uint8_t>& more) {
    for (uint8_t v : more) b.push_back(v);
}
inline std::vector<uint8_t> chunk(const char* id, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> b;
    fcc(b, id);
    put32(b, uint32_t(body.size()));
    append(b, body);
    if (body.size() & 1) b.push_back(0);
    return b;
}
inline std::vector<uint8_t> list(const char* type, const std::vector<uint8_t>& content) {
    std::vector<uint8_t> body;
    fcc(body, type);
    append(body, content);
    return chunk("LIST", body);
}

// A one-stream AVI of 8-bit frames (compression 0 or 1 = RLE8) with a
// 256-entry palette; `frames` are the chunk bodies as stored.
inline std::vector<uint8_t> make_avi(int width, int height, uint32_t compression,
                                     const std::vector<uint32_t>& palette,
                                     const std::vector<std::vector<uint8_t>>& frames,
                                     uint16_t bpp = 8) {
    std::vector<uint8_t> avih;
    put32(avih, 100000);
    for (int i = 0; i < 3; ++i) put32(avih, 0);
    put32(avih, uint32_t(frames.size()));
    put32(avih, 0);
    put32(avih, 1);
    put32(avih, 0);
    put32(avih, uint32_t(width));
    put32(avih, uint32_t(height));
    for (int i = 0; i < 4; ++i) put32(avih, 0);
    std::vector<uint8_t> strh;
    fcc(strh, "vids");
    fcc(strh, compression ? "mrle" : "DIB ");
    for (int i = 0; i < 3; ++i) put32(strh, 0);
    put32(strh, 1);
    put32(strh, 10);
    put32(strh, 0);
    put32(strh, uint32_t(frames.size()));
    for (int i = 0; i < 3; ++i) put32(strh, 0);
    for (int i = 0; i < 4; ++i) put16(strh, 0);
    std::vector<uint8_t> strf;
    put32(strf, 40);
    put32(strf, uint32_t(width));
    put32(strf, uint32_t(height));
    put16(strf, 1);
    put16(strf, bpp);
    put32(strf, compression);
    for (int i = 0; i < 3; ++i) put32(strf, 0);
    put32(strf, uint32_t(palette.size()));
    put32(strf, 0);
    for (uint32_t c : palette) put32(strf, c);  // 0x00RRGGBB is B, G, R, 0 in memory
    std::vector<uint8_t> strl = chunk("strh", strh);
    const std::vector<uint8_t> f = chunk("strf", strf);
    append(strl, f);
    std::vector<uint8_t> hdrl = chunk("avih", avih);
    const std::vector<uint8_t> l = list("strl", strl);
    append(hdrl, l);
    std::vector<uint8_t> movi;
    for (const auto& frame : frames) {
        const std::vector<uint8_t> c = chunk(compression ? "00dc" : "00db", frame);
        append(movi, c);
    }
    std::vector<uint8_t> body;
    fcc(body, "AVI ");
    const std::vector<uint8_t> h = list("hdrl", hdrl), m = list("movi", movi);
    append(body, h);
    append(body, m);
    return chunk("RIFF", body);
}

}  // namespace avi_test
