// Reading the splash window's pictures into cairo image surfaces on Linux:
// BMP and ICO through gdk-pixbuf, WMF and EMF through metafile_cairo.h. The
// format follows the file name's extension (picture_formats.h), and the bytes
// must pass that format's checks (and the pixel budget) before any decoder
// sees them. No toolkit in here beyond gdk-pixbuf and cairo.
#pragma once

#include <cairo.h>

namespace splash {

// A new ARGB32 surface at the picture's own size (transparent where the
// picture is: icon masks, metafile areas left unpainted), or null.
cairo_surface_t* load_picture_surface(const char* path);

}  // namespace splash
