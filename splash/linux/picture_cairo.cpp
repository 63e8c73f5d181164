// Picture files to cairo surfaces: see picture_cairo.h.
#include "picture_cairo.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "metafile_cairo.h"
#include "picture_formats.h"

namespace splash {

namespace {

constexpr long kMaxFileSize = 256L << 20;

bool read_file(const char* path, std::vector<unsigned char>& out) {
    FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return false;
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    const long size = ok ? std::ftell(f) : -1;
    ok = ok && size > 0 && size <= kMaxFileSize && std::fseek(f, 0, SEEK_SET) == 0;
    if (ok) {
        out.resize(static_cast<std::size_t>(size));
        ok = std::fread(out.data(), 1, out.size(), f) == out.size();
    }
    std::fclose(f);
    return ok;
}

// Decodes bytes with gdk-pixbuf's loader of exactly this type: no sniffing,
// so a file is read only as the format its extension names.
GdkPixbuf* decode(const char* type, const unsigned char* data, std::size_t size) {
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type(type, nullptr);
    if (loader == nullptr) return nullptr;
    const bool written = gdk_pixbuf_loader_write(loader, data, size, nullptr) != FALSE;
    const bool closed = gdk_pixbuf_loader_close(loader, nullptr) != FALSE;
    GdkPixbuf* pixbuf = written && closed ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
    if (pixbuf != nullptr) g_object_ref(pixbuf);
    g_object_unref(loader);
    return pixbuf;
}

cairo_surface_t* surface_from_pixbuf(GdkPixbuf* pixbuf) {
    const int w = gdk_pixbuf_get_width(pixbuf), h = gdk_pixbuf_get_height(pixbuf);
    const int channels = gdk_pixbuf_get_n_channels(pixbuf);
    if (gdk_pixbuf_get_bits_per_sample(pixbuf) != 8 || (channels != 3 && channels != 4))
        return nullptr;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return nullptr;
    }
    cairo_surface_flush(s);
    const guchar* src = gdk_pixbuf_read_pixels(pixbuf);
    const int src_stride = gdk_pixbuf_get_rowstride(pixbuf);
    unsigned char* dst = cairo_image_surface_get_data(s);
    const int dst_stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < h; ++y) {
        const guchar* in = src + static_cast<std::ptrdiff_t>(y) * src_stride;
        uint32_t* out = reinterpret_cast<uint32_t*>(dst + static_cast<std::ptrdiff_t>(y) * dst_stride);
        for (int x = 0; x < w; ++x, in += channels) {
            const uint32_t a = channels == 4 ? in[3] : 255;
            // cairo wants premultiplied colour.
            const uint32_t r = (in[0] * a + 127) / 255, g = (in[1] * a + 127) / 255,
                           b = (in[2] * a + 127) / 255;
            out[x] = a << 24 | r << 16 | g << 8 | b;
        }
    }
    cairo_surface_mark_dirty(s);
    return s;
}

cairo_surface_t* load_with(const char* type, const unsigned char* data, std::size_t size) {
    GdkPixbuf* pixbuf = decode(type, data, size);
    if (pixbuf == nullptr) return nullptr;
    cairo_surface_t* s = surface_from_pixbuf(pixbuf);
    g_object_unref(pixbuf);
    return s;
}

void put16(std::vector<unsigned char>& b, unsigned v) {
    b.push_back(static_cast<unsigned char>(v & 0xFF));
    b.push_back(static_cast<unsigned char>(v >> 8 & 0xFF));
}
void put32(std::vector<unsigned char>& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// The icon image that fits a 32 x 32 icon best. A DIB image goes to the icon
// loader as an icon file of its own, so that the loader cannot choose another.
cairo_surface_t* load_icon(const std::vector<unsigned char>& file) {
    IconChoice choice;
    if (!choose_icon(file.data(), file.size(), 32, 32, choice)) return nullptr;
    const unsigned char* image = file.data() + choice.offset;
    if (choice.png) return load_with("png", image, choice.size);
    std::vector<unsigned char> single;
    put16(single, 0);
    put16(single, 1);
    put16(single, 1);
    single.push_back(static_cast<unsigned char>(choice.width >= 256 ? 0 : choice.width));
    single.push_back(static_cast<unsigned char>(choice.height >= 256 ? 0 : choice.height));
    single.push_back(0);
    single.push_back(0);
    put16(single, 1);
    put16(single, choice.bit_count);
    put32(single, static_cast<uint32_t>(choice.size));
    put32(single, 22);
    single.insert(single.end(), image, image + choice.size);
    return load_with("ico", single.data(), single.size());
}

}  // namespace

cairo_surface_t* load_picture_surface(const char* path) {
    const PictureFormat format = picture_format_of(path);
    if (format == PictureFormat::kNone) return nullptr;
    std::vector<unsigned char> file;
    if (!read_file(path, file)) return nullptr;
    switch (format) {
        case PictureFormat::kBitmap: {
            BitmapLayout layout;
            if (!parse_bitmap(file.data(), file.size(), layout)) return nullptr;
            return load_with("bmp", file.data(), file.size());
        }
        case PictureFormat::kIcon:
            return load_icon(file);
        case PictureFormat::kWmf: {
            MetafileLayout layout;
            if (!parse_wmf(file.data(), file.size(), layout)) return nullptr;
            return render_wmf(file.data(), file.size(), layout.width, layout.height);
        }
        case PictureFormat::kEmf: {
            int32_t width = 0, height = 0;
            if (!parse_emf(file.data(), file.size(), width, height)) return nullptr;
            return render_emf(file.data(), file.size(), width, height);
        }
        case PictureFormat::kNone:
            break;
    }
    return nullptr;
}

}  // namespace splash
