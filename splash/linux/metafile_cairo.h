// Drawing Windows metafiles with cairo, for the Linux splash window.
//
// WMF: libwmf's record parser (libwmflite) plays the records, and our own
// drawing back end here paints them with cairo, GDI-like (no antialiasing of
// shapes), mapping the metafile's window onto the picture.
// EMF: libemf2svg turns the records into SVG, which librsvg paints, with the
// header's frame mapped onto the picture.
//
// No toolkit in here: both return a new ARGB32 image surface of exactly
// width x height pixels (transparent where the metafile paints nothing), or
// null when the data cannot be played.
#pragma once

#include <cairo.h>

#include <cstddef>

namespace splash {

// `data` is a whole WMF file, placeable or plain.
cairo_surface_t* render_wmf(const unsigned char* data, std::size_t size, int width, int height);
// `data` is a whole EMF file.
cairo_surface_t* render_emf(const unsigned char* data, std::size_t size, int width, int height);

}  // namespace splash
