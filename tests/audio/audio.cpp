#include "audio.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

namespace audio {

namespace {

uint32_t le32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t le16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

bool read_file(const std::string& path, std::vector<unsigned char>* bytes, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error) *error = "cannot open " + path;
        return false;
    }
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// Decodes interleaved frames into a mono mix.
bool decode(const unsigned char* data, std::size_t size, int format_tag, int bits, int channels,
            Pcm* out, std::string* error) {
    const int bytes = bits / 8;
    if (channels <= 0 || bytes <= 0) {
        if (error) *error = "bad channel count or sample size";
        return false;
    }
    const std::size_t frame = static_cast<std::size_t>(bytes) * static_cast<std::size_t>(channels);
    const std::size_t frames = size / frame;
    out->samples.assign(frames, 0.0f);
    for (std::size_t f = 0; f < frames; ++f) {
        double sum = 0.0;
        for (int c = 0; c < channels; ++c) {
            const unsigned char* p = data + f * frame + static_cast<std::size_t>(c * bytes);
            double v = 0.0;
            if (format_tag == 3 && bits == 32) {
                float x;
                uint32_t u = le32(p);
                std::memcpy(&x, &u, sizeof x);
                v = x;
            } else if (format_tag == 1 && bits == 8) {
                v = (p[0] - 128.0) / 128.0;
            } else if (format_tag == 1 && bits == 16) {
                v = static_cast<int16_t>(le16(p)) / 32768.0;
            } else if (format_tag == 1 && bits == 24) {
                int32_t x = static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 8 |
                                                 static_cast<uint32_t>(p[1]) << 16 |
                                                 static_cast<uint32_t>(p[2]) << 24);
                v = (x >> 8) / 8388608.0;
            } else if (format_tag == 1 && bits == 32) {
                v = static_cast<int32_t>(le32(p)) / 2147483648.0;
            } else {
                if (error) *error = "unsupported sample format";
                return false;
            }
            sum += v;
        }
        out->samples[f] = static_cast<float>(sum / channels);
    }
    return true;
}

}  // namespace

bool read_wav(const std::string& path, Pcm* out, std::string* error) {
    std::vector<unsigned char> b;
    if (!read_file(path, &b, error)) return false;
    if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 ||
        std::memcmp(b.data() + 8, "WAVE", 4) != 0) {
        if (error) *error = path + " is no RIFF WAVE file";
        return false;
    }
    int tag = 0, channels = 0, bits = 0;
    bool have_format = false;
    std::size_t pos = 12;
    while (pos + 8 <= b.size()) {
        const uint32_t len = le32(&b[pos + 4]);
        const std::size_t body = pos + 8;
        const std::size_t avail = std::min<std::size_t>(len, b.size() - body);
        if (std::memcmp(&b[pos], "fmt ", 4) == 0 && avail >= 16) {
            tag = le16(&b[body]);
            channels = le16(&b[body + 2]);
            out->sample_rate = static_cast<int>(le32(&b[body + 4]));
            bits = le16(&b[body + 14]);
            if (tag == 0xFFFE && avail >= 26) tag = le16(&b[body + 24]);  // extensible
            have_format = true;
        } else if (std::memcmp(&b[pos], "data", 4) == 0) {
            if (!have_format) {
                if (error) *error = "data before fmt";
                return false;
            }
            return decode(&b[body], avail, tag, bits, channels, out, error);
        }
        pos = body + len + (len & 1u);
    }
    if (error) *error = "no data chunk";
    return false;
}

bool read_raw(const std::string& path, SampleFormat format, int channels, int sample_rate,
              Pcm* out, std::string* error) {
    std::vector<unsigned char> b;
    if (!read_file(path, &b, error)) return false;
    out->sample_rate = sample_rate;
    switch (format) {
        case SampleFormat::s16: return decode(b.data(), b.size(), 1, 16, channels, out, error);
        case SampleFormat::f32: return decode(b.data(), b.size(), 3, 32, channels, out, error);
        case SampleFormat::u8: return decode(b.data(), b.size(), 1, 8, channels, out, error);
    }
    return false;
}

bool write_wav(const std::string& path, const Pcm& pcm) {
    std::ofstream o(path, std::ios::binary);
    if (!o) return false;
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) o.put(static_cast<char>(v >> (8 * i) & 0xFF));
    };
    auto put16 = [&](uint32_t v) {
        o.put(static_cast<char>(v & 0xFF));
        o.put(static_cast<char>(v >> 8 & 0xFF));
    };
    const auto data = static_cast<uint32_t>(pcm.samples.size() * 2);
    o.write("RIFF", 4);
    put32(36 + data);
    o.write("WAVEfmt ", 8);
    put32(16);
    put16(1);
    put16(1);
    put32(static_cast<uint32_t>(pcm.sample_rate));
    put32(static_cast<uint32_t>(pcm.sample_rate * 2));
    put16(2);
    put16(16);
    o.write("data", 4);
    put32(data);
    for (float s : pcm.samples) {
        const double c = std::clamp(static_cast<double>(s), -1.0, 1.0);
        put16(static_cast<uint16_t>(static_cast<int16_t>(std::lround(c * 32767.0))));
    }
    return static_cast<bool>(o);
}

Pcm slice(const Pcm& pcm, double start_s, double length_s) {
    Pcm part;
    part.sample_rate = pcm.sample_rate;
    const double n = static_cast<double>(pcm.samples.size());
    const auto begin = static_cast<std::size_t>(std::clamp(start_s * pcm.sample_rate, 0.0, n));
    const auto end = static_cast<std::size_t>(
        std::clamp((start_s + length_s) * pcm.sample_rate, static_cast<double>(begin), n));
    part.samples.assign(pcm.samples.begin() + static_cast<std::ptrdiff_t>(begin),
                        pcm.samples.begin() + static_cast<std::ptrdiff_t>(end));
    return part;
}

double rms(const Pcm& pcm) {
    if (pcm.samples.empty()) return 0.0;
    double sum = 0.0;
    for (float s : pcm.samples) sum += static_cast<double>(s) * s;
    return std::sqrt(sum / static_cast<double>(pcm.samples.size()));
}

double peak(const Pcm& pcm) {
    double p = 0.0;
    for (float s : pcm.samples) p = std::max(p, std::fabs(static_cast<double>(s)));
    return p;
}

namespace {

// RMS of each consecutive window; calls f(start_index, rms) until it says stop.
template <typename F>
void windows(const Pcm& pcm, double window_s, F f) {
    const auto w = std::max<std::size_t>(1, static_cast<std::size_t>(window_s * pcm.sample_rate));
    for (std::size_t i = 0; i < pcm.samples.size(); i += w) {
        const std::size_t end = std::min(pcm.samples.size(), i + w);
        double sum = 0.0;
        for (std::size_t j = i; j < end; ++j) sum += static_cast<double>(pcm.samples[j]) * pcm.samples[j];
        if (!f(i, std::sqrt(sum / static_cast<double>(end - i)))) return;
    }
}

}  // namespace

bool is_silent(const Pcm& pcm, double threshold, double window_s) {
    bool silent = true;
    windows(pcm, window_s, [&](std::size_t, double level) {
        if (level > threshold) silent = false;
        return silent;
    });
    return silent;
}

double onset(const Pcm& pcm, double threshold, double window_s) {
    double at = -1.0;
    windows(pcm, window_s, [&](std::size_t i, double level) {
        if (level <= threshold) return true;
        at = static_cast<double>(i) / pcm.sample_rate;
        return false;
    });
    return at;
}

double estimate_pitch(const Pcm& pcm, double min_hz, double max_hz) {
    if (pcm.sample_rate <= 0 || rms(pcm) < 1e-4) return 0.0;
    const auto max_tau = static_cast<std::size_t>(pcm.sample_rate / min_hz);
    const auto min_tau = std::max<std::size_t>(2, static_cast<std::size_t>(pcm.sample_rate / max_hz));
    if (pcm.samples.size() < 2 * max_tau + 2) return 0.0;
    const std::size_t window = pcm.samples.size() - max_tau - 1;
    const float* x = pcm.samples.data();

    // Difference function and its cumulative mean normalised form.
    std::vector<double> d(max_tau + 2, 0.0);
    for (std::size_t tau = 1; tau <= max_tau + 1; ++tau) {
        double sum = 0.0;
        for (std::size_t i = 0; i < window; ++i) {
            const double diff = static_cast<double>(x[i]) - x[i + tau];
            sum += diff * diff;
        }
        d[tau] = sum;
    }
    std::vector<double> cmnd(max_tau + 2, 1.0);
    double running = 0.0;
    for (std::size_t tau = 1; tau <= max_tau + 1; ++tau) {
        running += d[tau];
        cmnd[tau] = running > 0.0 ? d[tau] * static_cast<double>(tau) / running : 1.0;
    }

    // The first dip below the threshold, followed down to its bottom; else
    // the deepest dip.
    constexpr double kThreshold = 0.15;
    std::size_t best = 0;
    for (std::size_t tau = min_tau; tau <= max_tau; ++tau) {
        if (cmnd[tau] < kThreshold) {
            while (tau + 1 <= max_tau && cmnd[tau + 1] < cmnd[tau]) ++tau;
            best = tau;
            break;
        }
    }
    if (best == 0) {
        best = min_tau;
        for (std::size_t tau = min_tau; tau <= max_tau; ++tau) {
            if (cmnd[tau] < cmnd[best]) best = tau;
        }
        if (cmnd[best] > 0.5) return 0.0;  // nothing periodic
    }

    // Parabolic interpolation around the dip.
    double period = static_cast<double>(best);
    if (best > 1 && best < max_tau + 1) {
        const double a = cmnd[best - 1], b = cmnd[best], c = cmnd[best + 1];
        const double denom = a - 2 * b + c;
        if (denom > 0) period += 0.5 * (a - c) / denom;
    }
    return pcm.sample_rate / period;
}

}  // namespace audio
