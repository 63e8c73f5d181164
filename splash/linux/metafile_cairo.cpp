// Metafile drawing with cairo: see metafile_cairo.h.
#include "metafile_cairo.h"

#include <emf2svg.h>
#include <librsvg/rsvg.h>
#include <libwmf/api.h>
#include <libwmf/defs.h>
#include <libwmf/ipa.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace splash {

namespace {

// ---- WMF: our libwmf drawing back end -----------------------------------------

// libwmf hands the back end "device" coordinates in which the metafile's
// window spans 1024 units along each axis (the player's own normalisation:
// pixel_width x window width = 1024); we map that onto the picture.
struct WmfDevice {
    cairo_t* cr;
    double sx, sy;  // picture pixels per device unit
};

WmfDevice* device(wmfAPI* api) { return static_cast<WmfDevice*>(api->device_data); }

double scale_x(wmfAPI* api, wmfDC* dc) {
    const double span = dc->pixel_width * dc->Window.width;
    return std::fabs(span) > 1e-9 ? device(api)->sx * 1024.0 / std::fabs(span) : device(api)->sx;
}
double scale_y(wmfAPI* api, wmfDC* dc) {
    const double span = dc->pixel_height * dc->Window.height;
    return std::fabs(span) > 1e-9 ? device(api)->sy * 1024.0 / std::fabs(span) : device(api)->sy;
}

void to_pixels(wmfAPI* api, wmfDC* dc, wmfD_Coord p, double* x, double* y) {
    *x = p.x * scale_x(api, dc);
    *y = p.y * scale_y(api, dc);
}

void set_rgb(cairo_t* cr, const wmfRGB& c) {
    cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0);
}

bool has_fill(wmfDC* dc) { return dc->brush != nullptr && dc->brush->lbStyle != BS_NULL; }
bool has_pen(wmfDC* dc) {
    return dc->pen != nullptr && (dc->pen->lopnStyle & PS_STYLE_MASK) != PS_NULL;
}

// Fills (with the brush) and then strokes (with the pen) the current path.
void paint_path(wmfAPI* api, wmfDC* dc, bool fill) {
    cairo_t* cr = device(api)->cr;
    if (fill && has_fill(dc)) {
        set_rgb(cr, dc->brush->lbColor);
        cairo_set_fill_rule(cr, dc->polyfillmode == WINDING ? CAIRO_FILL_RULE_WINDING
                                                             : CAIRO_FILL_RULE_EVEN_ODD);
        cairo_fill_preserve(cr);
    }
    if (has_pen(dc)) {
        set_rgb(cr, dc->pen->lopnColor);
        double width = dc->pen->width * scale_x(api, dc);
        if (width < 1.0) width = 1.0;
        cairo_set_line_width(cr, width);
        const int style = dc->pen->lopnStyle & PS_STYLE_MASK;
        const double dash[] = {3 * width, width, width, width};
        if (style == PS_DASH)
            cairo_set_dash(cr, dash, 2, 0);
        else if (style == PS_DOT)
            cairo_set_dash(cr, dash + 2, 2, 0);
        else if (style == PS_DASHDOT || style == PS_DASHDOTDOT)
            cairo_set_dash(cr, dash, 4, 0);
        else
            cairo_set_dash(cr, nullptr, 0, 0);
        cairo_stroke_preserve(cr);
    }
    cairo_new_path(cr);
}

void nop(wmfAPI*) {}
void nop_udata(wmfAPI*, wmfUserData_t*) {}
void nop_flood(wmfAPI*, wmfFlood_t*) {}

void draw_pixel(wmfAPI* api, wmfDrawPixel_t* p) {
    double x, y;
    to_pixels(api, p->dc, p->pt, &x, &y);
    cairo_t* cr = device(api)->cr;
    set_rgb(cr, p->color);
    cairo_rectangle(cr, std::floor(x), std::floor(y), 1, 1);
    cairo_fill(cr);
}

// An elliptic arc of the box TL-BR from `start` to `end`, counter-clockwise
// on screen as GDI draws it.
void arc_path(wmfAPI* api, wmfDrawArc_t* a, bool whole) {
    double l, t, r, b;
    to_pixels(api, a->dc, a->TL, &l, &t);
    to_pixels(api, a->dc, a->BR, &r, &b);
    const double cx = (l + r) / 2, cy = (t + b) / 2, rx = std::fabs(r - l) / 2,
                 ry = std::fabs(b - t) / 2;
    if (rx < 1e-6 || ry < 1e-6) return;
    cairo_t* cr = device(api)->cr;
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_scale(cr, rx, ry);
    if (whole) {
        cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
    } else {
        double sx, sy, ex, ey;
        to_pixels(api, a->dc, a->start, &sx, &sy);
        to_pixels(api, a->dc, a->end, &ex, &ey);
        const double a0 = std::atan2((sy - cy) / ry, (sx - cx) / rx);
        double a1 = std::atan2((ey - cy) / ry, (ex - cx) / rx);
        if (a1 >= a0) a1 -= 2 * M_PI;
        cairo_arc_negative(cr, 0, 0, 1, a0, a1);
    }
    cairo_restore(cr);
}

void draw_ellipse(wmfAPI* api, wmfDrawArc_t* a) {
    arc_path(api, a, true);
    cairo_close_path(device(api)->cr);
    paint_path(api, a->dc, true);
}

void draw_arc(wmfAPI* api, wmfDrawArc_t* a) {
    arc_path(api, a, false);
    paint_path(api, a->dc, false);
}

void draw_chord(wmfAPI* api, wmfDrawArc_t* a) {
    arc_path(api, a, false);
    cairo_close_path(device(api)->cr);
    paint_path(api, a->dc, true);
}

void draw_pie(wmfAPI* api, wmfDrawArc_t* a) {
    double l, t, r, b;
    to_pixels(api, a->dc, a->TL, &l, &t);
    to_pixels(api, a->dc, a->BR, &r, &b);
    cairo_move_to(device(api)->cr, (l + r) / 2, (t + b) / 2);
    arc_path(api, a, false);
    cairo_close_path(device(api)->cr);
    paint_path(api, a->dc, true);
}

void draw_line(wmfAPI* api, wmfDrawLine_t* l) {
    double x0, y0, x1, y1;
    to_pixels(api, l->dc, l->from, &x0, &y0);
    to_pixels(api, l->dc, l->to, &x1, &y1);
    cairo_t* cr = device(api)->cr;
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    paint_path(api, l->dc, false);
}

void points_path(wmfAPI* api, wmfDC* dc, const wmfD_Coord* pt, unsigned count, bool close) {
    cairo_t* cr = device(api)->cr;
    for (unsigned i = 0; i < count; ++i) {
        double x, y;
        to_pixels(api, dc, pt[i], &x, &y);
        if (i == 0)
            cairo_move_to(cr, x, y);
        else
            cairo_line_to(cr, x, y);
    }
    if (close && count > 0) cairo_close_path(cr);
}

void poly_line(wmfAPI* api, wmfPolyLine_t* p) {
    points_path(api, p->dc, p->pt, p->count, false);
    paint_path(api, p->dc, false);
}

void draw_polygon(wmfAPI* api, wmfPolyLine_t* p) {
    points_path(api, p->dc, p->pt, p->count, true);
    paint_path(api, p->dc, true);
}

void draw_polypolygon(wmfAPI* api, wmfPolyPoly_t* p) {
    for (unsigned i = 0; i < p->npoly; ++i)
        if (p->pt != nullptr && p->pt[i] != nullptr && p->count != nullptr)
            points_path(api, p->dc, p->pt[i], p->count[i], true);
    paint_path(api, p->dc, true);
}

void draw_rectangle(wmfAPI* api, wmfDrawRectangle_t* r) {
    double l, t, rr, b;
    to_pixels(api, r->dc, r->TL, &l, &t);
    to_pixels(api, r->dc, r->BR, &rr, &b);
    cairo_t* cr = device(api)->cr;
    const double rx = r->width * scale_x(api, r->dc) / 2, ry = r->height * scale_y(api, r->dc) / 2;
    if (rx > 0.5 && ry > 0.5) {  // rounded corners
        cairo_save(cr);
        cairo_new_sub_path(cr);
        const double corners[4][3] = {{rr - rx, t + ry, -M_PI / 2},
                                      {rr - rx, b - ry, 0},
                                      {l + rx, b - ry, M_PI / 2},
                                      {l + rx, t + ry, M_PI}};
        for (const auto& c : corners) {
            cairo_save(cr);
            cairo_translate(cr, c[0], c[1]);
            cairo_scale(cr, rx, ry);
            cairo_arc(cr, 0, 0, 1, c[2], c[2] + M_PI / 2);
            cairo_restore(cr);
        }
        cairo_close_path(cr);
        cairo_restore(cr);
    } else {
        cairo_rectangle(cr, l, t, rr - l, b - t);
    }
    paint_path(api, r->dc, true);
}

void rects_path(wmfAPI* api, wmfPolyRectangle_t* p) {
    for (unsigned i = 0; i < p->count; ++i) {
        double l, t, r, b;
        to_pixels(api, p->dc, p->TL[i], &l, &t);
        to_pixels(api, p->dc, p->BR[i], &r, &b);
        cairo_rectangle(device(api)->cr, l, t, r - l, b - t);
    }
}

void region_paint(wmfAPI* api, wmfPolyRectangle_t* p) {
    if (p->TL == nullptr || p->BR == nullptr || !has_fill(p->dc)) return;
    rects_path(api, p);
    cairo_t* cr = device(api)->cr;
    set_rgb(cr, p->dc->brush->lbColor);
    cairo_fill(cr);
}

void region_frame(wmfAPI* api, wmfPolyRectangle_t* p) {
    if (p->TL == nullptr || p->BR == nullptr || !has_fill(p->dc)) return;
    rects_path(api, p);
    cairo_t* cr = device(api)->cr;
    set_rgb(cr, p->dc->brush->lbColor);
    double width = p->width * scale_x(api, p->dc);
    cairo_set_line_width(cr, width < 1.0 ? 1.0 : width);
    cairo_stroke(cr);
}

void region_clip(wmfAPI* api, wmfPolyRectangle_t* p) {
    cairo_t* cr = device(api)->cr;
    cairo_reset_clip(cr);
    if (p->count == 0 || p->TL == nullptr || p->BR == nullptr) return;
    rects_path(api, p);
    cairo_clip(cr);
}

void rop_draw(wmfAPI* api, wmfROP_Draw_t* r) {
    double l, t, rr, b;
    to_pixels(api, r->dc, r->TL, &l, &t);
    to_pixels(api, r->dc, r->BR, &rr, &b);
    cairo_t* cr = device(api)->cr;
    switch (r->ROP) {
        case 0x00000042:  // BLACKNESS
            cairo_set_source_rgb(cr, 0, 0, 0);
            break;
        case 0x00FF0062:  // WHITENESS
            cairo_set_source_rgb(cr, 1, 1, 1);
            break;
        default:  // PATCOPY and the rest: the brush
            if (!has_fill(r->dc)) return;
            set_rgb(cr, r->dc->brush->lbColor);
    }
    cairo_rectangle(cr, l, t, rr - l, b - t);
    cairo_fill(cr);
}

// Bitmaps inside metafiles are not drawn; the player still asks for them.
void bmp_read(wmfAPI*, wmfBMP_Read_t* r) {
    r->bmp.data = nullptr;
    r->bmp.width = 0;
    r->bmp.height = 0;
}
void bmp_draw(wmfAPI*, wmfBMP_Draw_t*) {}
void bmp_free(wmfAPI*, wmfBMP*) {}

void draw_text(wmfAPI* api, wmfDrawText_t* t) {
    if (t->str == nullptr || t->str[0] == 0) return;
    double x, y;
    to_pixels(api, t->dc, t->pt, &x, &y);
    cairo_t* cr = device(api)->cr;
    cairo_save(cr);
    const double size = std::fabs(t->font_height * scale_y(api, t->dc));
    const wmfFont* font = t->dc->font;
    cairo_select_font_face(cr, "DejaVu Sans",
                           font != nullptr && font->lfItalic ? CAIRO_FONT_SLANT_ITALIC
                                                             : CAIRO_FONT_SLANT_NORMAL,
                           font != nullptr && font->lfWeight >= 600 ? CAIRO_FONT_WEIGHT_BOLD
                                                                    : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size > 0.5 ? size : 0.5);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
    cairo_translate(cr, x, y);
    if (font != nullptr && font->lfEscapement != 0)
        cairo_rotate(cr, -font->lfEscapement * M_PI / 1800.0);
    set_rgb(cr, t->dc->textcolor);
    cairo_move_to(cr, 0, 0);
    cairo_show_text(cr, t->str);
    cairo_restore(cr);
}

// libwmflite asks for a font mapper and a string width measure (in points at
// a 1-point font); an estimate serves for its bounding boxes.
void font_map(wmfAPI*, wmfFont*) {}
float string_width(wmfAPI*, wmfFont*, char* s) { return s ? 0.6f * float(std::strlen(s)) : 0.0f; }

void install_back_end(wmfAPI* api) {
    auto* fr = static_cast<wmfFunctionReference*>(wmf_calloc(api, 1, sizeof(wmfFunctionReference)));
    auto* fonts = static_cast<wmfFontData*>(wmf_calloc(api, 1, sizeof(wmfFontData)));
    if (fr == nullptr || fonts == nullptr) {
        api->err = wmf_E_InsMem;
        return;
    }
    fr->device_open = nop;
    fr->device_close = nop;
    fr->device_begin = nop;
    fr->device_end = nop;
    fr->flood_interior = nop_flood;
    fr->flood_exterior = nop_flood;
    fr->draw_pixel = draw_pixel;
    fr->draw_pie = draw_pie;
    fr->draw_chord = draw_chord;
    fr->draw_arc = draw_arc;
    fr->draw_ellipse = draw_ellipse;
    fr->draw_line = draw_line;
    fr->poly_line = poly_line;
    fr->draw_polygon = draw_polygon;
    fr->draw_polypolygon = draw_polypolygon;
    fr->draw_rectangle = draw_rectangle;
    fr->rop_draw = rop_draw;
    fr->bmp_draw = bmp_draw;
    fr->bmp_read = bmp_read;
    fr->bmp_free = bmp_free;
    fr->draw_text = draw_text;
    fr->udata_init = nop_udata;
    fr->udata_copy = nop_udata;
    fr->udata_set = nop_udata;
    fr->udata_free = nop_udata;
    fr->region_frame = region_frame;
    fr->region_paint = region_paint;
    fr->region_clip = region_clip;
    api->function_reference = fr;
    fonts->map = font_map;
    fonts->stringwidth = string_width;
    api->font_data = fonts;
}

cairo_surface_t* new_surface(int width, int height) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return nullptr;
    }
    return s;
}

// ---- EMF ---------------------------------------------------------------------

int32_t s32(const unsigned char* p) {
    return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                                uint32_t(p[3]) << 24);
}

}  // namespace

cairo_surface_t* render_wmf(const unsigned char* data, std::size_t size, int width, int height) {
    if (data == nullptr || size == 0 || width <= 0 || height <= 0) return nullptr;
    if (size > static_cast<std::size_t>(INT32_MAX)) return nullptr;
    wmfAPI_Options options;
    std::memset(&options, 0, sizeof options);
    options.function = install_back_end;
    wmfAPI* api = nullptr;
    const unsigned long flags =
        WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
    if (wmf_lite_create(&api, flags, &options) != wmf_E_None) {
        if (api != nullptr) wmf_lite_destroy(api);
        return nullptr;
    }
    cairo_surface_t* surface = nullptr;
    WmfDevice dev{nullptr, width / 1024.0, height / 1024.0};
    wmfD_Rect bbox;
    if (wmf_mem_open(api, const_cast<unsigned char*>(data), static_cast<long>(size)) == wmf_E_None &&
        wmf_scan(api, 0, &bbox) == wmf_E_None && (surface = new_surface(width, height)) != nullptr) {
        dev.cr = cairo_create(surface);
        cairo_set_antialias(dev.cr, CAIRO_ANTIALIAS_NONE);
        api->device_data = &dev;
        const bool played = wmf_play(api, 0, &bbox) == wmf_E_None;
        api->device_data = nullptr;
        cairo_destroy(dev.cr);
        if (!played) {
            cairo_surface_destroy(surface);
            surface = nullptr;
        } else {
            cairo_surface_flush(surface);
        }
    }
    wmf_mem_close(api);
    wmf_lite_destroy(api);
    return surface;
}

cairo_surface_t* render_emf(const unsigned char* data, std::size_t size, int width, int height) {
    if (data == nullptr || size < 88 || width <= 0 || height <= 0) return nullptr;
    // The frame (0.01 mm) on the reference device (pixels per millimetre from
    // szlDevice / szlMillimeters) is what the picture shows. libemf2svg draws
    // in device pixels, shifted so that the bounds' top-left is at 0,0.
    const double bounds_left = s32(data + 8), bounds_top = s32(data + 12);
    const double frame_l = s32(data + 24), frame_t = s32(data + 28), frame_r = s32(data + 32),
                 frame_b = s32(data + 36);
    const double dev_w = s32(data + 72), dev_h = s32(data + 76), mm_w = s32(data + 80),
                 mm_h = s32(data + 84);
    if (dev_w <= 0 || dev_h <= 0 || mm_w <= 0 || mm_h <= 0) return nullptr;
    const double px_x = dev_w / (mm_w * 100.0), px_y = dev_h / (mm_h * 100.0);
    const double fl = frame_l * px_x, ft = frame_t * px_y;
    const double fw = (frame_r - frame_l) * px_x, fh = (frame_b - frame_t) * px_y;
    if (!(fw > 0) || !(fh > 0)) return nullptr;

    generatorOptions options;
    std::memset(&options, 0, sizeof options);
    options.nameSpace = const_cast<char*>("");
    options.svgDelimiter = true;
    options.emfplus = true;
    char* svg = nullptr;
    size_t svg_size = 0;
    if (emf2svg(reinterpret_cast<char*>(const_cast<unsigned char*>(data)), size, &svg, &svg_size,
                &options) == 0 ||
        svg == nullptr) {
        std::free(svg);
        return nullptr;
    }
    RsvgHandle* handle = rsvg_handle_new_from_data(reinterpret_cast<const guint8*>(svg), svg_size,
                                                   nullptr);
    std::free(svg);
    if (handle == nullptr) return nullptr;
    cairo_surface_t* surface = new_surface(width, height);
    if (surface != nullptr) {
        cairo_t* cr = cairo_create(surface);
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
        cairo_scale(cr, width / fw, height / fh);
        cairo_translate(cr, bounds_left - fl, bounds_top - ft);
        // No viewBox: the document is drawn in its own units; a viewport
        // larger than the frame keeps it from being clipped at its nominal
        // width, which libemf2svg gives one pixel short.
        const RsvgRectangle viewport{0, 0, fw + 2 * std::fabs(bounds_left - fl) + 2,
                                     fh + 2 * std::fabs(bounds_top - ft) + 2};
        const bool ok = rsvg_handle_render_document(handle, cr, &viewport, nullptr) != FALSE;
        cairo_destroy(cr);
        if (!ok) {
            cairo_surface_destroy(surface);
            surface = nullptr;
        } else {
            cairo_surface_flush(surface);
        }
    }
    g_object_unref(handle);
    return surface;
}

}  // namespace splash
