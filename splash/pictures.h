// Pictures for the Windows splash window: read from a file as the format its
// extension names, drawn with GDI at their own size or stretched.
#pragma once

#include <windows.h>

namespace splash {

enum class PictureKind { kNone, kBitmap, kIcon, kMetafile };

struct Picture {
    PictureKind kind = PictureKind::kNone;
    int width = 0;  // its own size in pixels
    int height = 0;
    // kBitmap: a packed DIB of our own (BITMAPINFOHEADER, masks or palette,
    // pixels) in one heap block.
    void* dib = nullptr;
    const BITMAPINFO* info = nullptr;
    const void* bits = nullptr;
    HICON icon = nullptr;             // kIcon
    HENHMETAFILE metafile = nullptr;  // kMetafile (a WMF is converted on reading)
};

// Reads the file at `path`. On failure `out` is untouched and false returned.
bool load_picture(const char* path, Picture& out);
// Draws the picture into `at` (its own size at the top-left, or the area to
// fill).
void draw_picture(const Picture& picture, HDC hdc, const RECT& at);
void free_picture(Picture& picture);

}  // namespace splash
