// The clip reader's frames against FFmpeg's decoders (rawvideo, msrle), on
// the fixture clips and on random RLE8 clips. FFmpeg serves as the oracle of
// this test only; the plug-in never links it.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
}

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "avi_clip.h"
#include "avi_test_util.h"

namespace {

using Frame = std::vector<uint32_t>;  // 0x00RRGGBB, top-down

// Decodes every frame of the file's first video stream with FFmpeg.
bool ffmpeg_frames(const std::string& path, std::vector<Frame>& out, std::string& why) {
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) {
        why = "avformat_open_input";
        return false;
    }
    bool ok = false;
    AVCodecContext* ctx = nullptr;
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    const int stream = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (stream >= 0 && avformat_find_stream_info(fmt, nullptr) >= 0) {
        const AVCodecParameters* par = fmt->streams[stream]->codecpar;
        const AVCodec* codec = avcodec_find_decoder(par->codec_id);
        ctx = codec ? avcodec_alloc_context3(codec) : nullptr;
        if (ctx && avcodec_parameters_to_context(ctx, par) >= 0 &&
            avcodec_open2(ctx, codec, nullptr) >= 0) {
            ok = true;
            auto drain = [&] {
                while (avcodec_receive_frame(ctx, frame) == 0) {
                    Frame f(std::size_t(frame->width) * frame->height);
                    for (int y = 0; y < frame->height; ++y)
                        for (int x = 0; x < frame->width; ++x) {
                            uint32_t c = 0;
                            const uint8_t* row = frame->data[0] + y * frame->linesize[0];
                            if (frame->format == AV_PIX_FMT_PAL8) {
                                const uint32_t* pal = reinterpret_cast<uint32_t*>(frame->data[1]);
                                c = pal[row[x]] & 0xFFFFFF;
                            } else if (frame->format == AV_PIX_FMT_BGR24) {
                                c = uint32_t(row[3 * x + 2]) << 16 | uint32_t(row[3 * x + 1]) << 8 |
                                    row[3 * x];
                            } else {
                                ok = false;
                                why = "unexpected pixel format";
                            }
                            f[std::size_t(y) * frame->width + x] = c;
                        }
                    out.push_back(std::move(f));
                }
            };
            while (av_read_frame(fmt, pkt) >= 0) {
                if (pkt->stream_index == stream && avcodec_send_packet(ctx, pkt) >= 0) drain();
                av_packet_unref(pkt);
            }
            avcodec_send_packet(ctx, nullptr);
            drain();
        } else {
            why = "no decoder";
        }
    } else {
        why = "no video stream";
    }
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&ctx);
    avformat_close_input(&fmt);
    return ok;
}

// Our frames equal FFmpeg's, with the first frame's top-left colour keyed.
void expect_same_frames(const std::string& path) {
    SCOPED_TRACE(path);
    std::vector<Frame> want;
    std::string why;
    ASSERT_TRUE(ffmpeg_frames(path, want, why)) << why;
    ASSERT_FALSE(want.empty());
    splash::AviClip clip;
    ASSERT_TRUE(clip.open_file(path.c_str()));
    ASSERT_EQ(clip.frame_count(), want.size());
    const uint32_t key = want[0][0];
    EXPECT_EQ(clip.key_color(), key);
    for (uint32_t i = 0; i < want.size(); ++i) {
        const uint32_t* px = clip.frame(i);
        ASSERT_NE(px, nullptr);
        ASSERT_EQ(want[i].size(), std::size_t(clip.width()) * clip.height());
        for (std::size_t k = 0; k < want[i].size(); ++k) {
            const uint32_t expected = want[i][k] == key ? 0u : 0xFF000000u | want[i][k];
            ASSERT_EQ(px[k], expected) << "frame " << i << " pixel " << k % clip.width() << ","
                                       << k / clip.width();
        }
    }
}

TEST(AviOracle, FixtureClipsMatchFFmpeg) {
    for (const char* name : {"clip8_64x48.avi", "clip24_61x45.avi", "clip_rle8_61x45.avi",
                             "clip_rle8_delta_61x45.avi"})
        expect_same_frames(avi_test::fixture(name));
}

// Random but well-formed RLE8: runs, literal runs of odd and even length,
// pen moves within the picture, early ends of lines and of the picture.
std::vector<uint8_t> random_rle8(std::mt19937& rng, int w, int h) {
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::vector<uint8_t> out;
    int y = 0;
    while (y < h) {
        int x = 0;
        bool next_line = false;
        while (x < w && !next_line) {
            const int left = w - x;
            switch (pick(0, 5)) {
                case 0:
                case 1: {
                    const int n = pick(1, std::min(left, 255));
                    out.push_back(uint8_t(n));
                    out.push_back(uint8_t(pick(0, 15)));
                    x += n;
                    break;
                }
                case 2:
                case 3:
                    if (left >= 3) {
                        const int n = pick(3, std::min(left, 255));
                        out.push_back(0);
                        out.push_back(uint8_t(n));
                        for (int i = 0; i < n; ++i) out.push_back(uint8_t(pick(0, 15)));
                        if (n & 1) out.push_back(0);
                        x += n;
                    }
                    break;
                case 4:
                    if (left > 1 && y + 1 < h) {
                        const int dx = pick(0, left - 1), dy = pick(0, std::min(2, h - 1 - y));
                        avi_test::append(out, {0, 2, uint8_t(dx), uint8_t(dy)});
                        x += dx;
                        y += dy;
                    }
                    break;
                default:
                    next_line = pick(0, 3) == 0;
            }
        }
        if (pick(0, 30) == 0) break;
        ++y;
        if (y < h) avi_test::append(out, {0, 0});
    }
    avi_test::append(out, {0, 1});
    // FFmpeg takes a frame whose size equals that of the uncompressed rows as
    // uncompressed; a second end mark keeps ours apart from that guess.
    if (out.size() == std::size_t((w + 3) / 4 * 4) * std::size_t(h)) avi_test::append(out, {0, 1});
    return out;
}

TEST(AviOracle, RandomRle8ClipsMatchFFmpeg) {
    std::mt19937 rng(20240611);
    std::vector<uint32_t> palette(256);
    for (uint32_t i = 0; i < 256; ++i) palette[i] = (i * 0x3F1D27u + 0x102030u) & 0xFFFFFF;
    const std::string path = ::testing::TempDir() + "splash_random_rle8.avi";
    for (int round = 0; round < 40; ++round) {
        const int w = 1 + round % 37, h = 1 + (round * 7) % 23;
        std::vector<std::vector<uint8_t>> frames;
        for (int f = 0; f < 4; ++f) frames.push_back(random_rle8(rng, w, h));
        const std::vector<uint8_t> avi = avi_test::make_avi(w, h, 1, palette, frames);
        FILE* out = std::fopen(path.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        ASSERT_EQ(std::fwrite(avi.data(), 1, avi.size(), out), avi.size());
        std::fclose(out);
        SCOPED_TRACE(round);
        expect_same_frames(path);
    }
    std::remove(path.c_str());
}

}  // namespace
