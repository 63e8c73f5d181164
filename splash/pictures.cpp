#include "pictures.h"

#include "picture_formats.h"

namespace splash {
namespace {

// Files larger than this are not read (no picture within the pixel budget
// needs more than a fraction of it).
const DWORD kMaxFileBytes = 512u * 1024u * 1024u;

struct FileBytes {
    unsigned char* data = nullptr;
    DWORD size = 0;
    ~FileBytes() {
        if (data != nullptr) HeapFree(GetProcessHeap(), 0, data);
    }
};

bool read_file(const char* path, FileBytes& out) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart <= kMaxFileBytes;
    if (ok) {
        out.size = static_cast<DWORD>(size.QuadPart);
        out.data = static_cast<unsigned char*>(HeapAlloc(GetProcessHeap(), 0, out.size));
        ok = out.data != nullptr;
    }
    DWORD done = 0;
    while (ok && done < out.size) {
        DWORD got = 0;
        ok = ReadFile(file, out.data + done, out.size - done, &got, nullptr) && got > 0;
        done += got;
    }
    CloseHandle(file);
    return ok;
}

void copy_bytes(void* to, const void* from, std::size_t n) {
    auto* d = static_cast<unsigned char*>(to);
    auto* s = static_cast<const unsigned char*>(from);
    for (std::size_t i = 0; i < n; ++i) d[i] = s[i];
}

// A packed DIB of our own: a BITMAPINFOHEADER (a core header is widened),
// the masks or palette, then the pixels.
bool load_bitmap(const FileBytes& file, Picture& out) {
    BitmapLayout b;
    if (!parse_bitmap(file.data, file.size, b)) return false;
    const std::size_t table = b.compression == 3 ? 12 : b.palette_entries * 4;
    const std::size_t head = sizeof(BITMAPINFOHEADER) + table;
    void* dib = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, head + b.bits_size);
    if (dib == nullptr) return false;
    auto* info = static_cast<BITMAPINFO*>(dib);
    BITMAPINFOHEADER& h = info->bmiHeader;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = b.width;
    h.biHeight = b.top_down ? -b.height : b.height;
    h.biPlanes = 1;
    h.biBitCount = b.bit_count;
    h.biCompression = b.compression;
    h.biSizeImage = static_cast<DWORD>(b.bits_size);
    h.biClrUsed = static_cast<DWORD>(b.palette_entries);
    auto* after = reinterpret_cast<unsigned char*>(dib) + sizeof(BITMAPINFOHEADER);
    if (b.compression == 3) {
        copy_bytes(after, b.masks, 12);
    } else {
        const unsigned char* src = file.data + b.palette_offset;
        for (std::size_t i = 0; i < b.palette_entries; ++i) {
            const std::size_t step = b.core_header ? 3 : 4;
            RGBQUAD* q = info->bmiColors + i;
            q->rgbBlue = src[i * step];
            q->rgbGreen = src[i * step + 1];
            q->rgbRed = src[i * step + 2];
            q->rgbReserved = 0;
        }
    }
    copy_bytes(reinterpret_cast<unsigned char*>(dib) + head, file.data + b.bits_offset,
               b.bits_size);
    out.kind = PictureKind::kBitmap;
    out.width = b.width;
    out.height = b.height;
    out.dib = dib;
    out.info = info;
    out.bits = reinterpret_cast<unsigned char*>(dib) + head;
    return true;
}

bool load_icon(const FileBytes& file, Picture& out) {
    IconChoice c;
    if (!choose_icon(file.data, file.size, GetSystemMetrics(SM_CXICON),
                     GetSystemMetrics(SM_CYICON), c)) {
        return false;
    }
    HICON icon = CreateIconFromResourceEx(file.data + c.offset, static_cast<DWORD>(c.size), TRUE,
                                          0x00030000, c.width, c.height, LR_DEFAULTCOLOR);
    if (icon == nullptr) return false;
    out.kind = PictureKind::kIcon;
    out.width = c.width;
    out.height = c.height;
    out.icon = icon;
    return true;
}

bool load_wmf(const FileBytes& file, Picture& out) {
    MetafileLayout m;
    if (!parse_wmf(file.data, file.size, m)) return false;
    // Converted to an enhanced metafile whose frame is the picture's own size
    // (in 0.01 mm at 96 pixels per inch).
    METAFILEPICT pict;
    pict.mm = MM_ANISOTROPIC;
    pict.xExt = MulDiv(m.width, 2540, 96);
    pict.yExt = MulDiv(m.height, 2540, 96);
    pict.hMF = nullptr;
    HENHMETAFILE emf = SetWinMetaFileBits(static_cast<UINT>(m.length), file.data + m.offset,
                                          nullptr, &pict);
    if (emf == nullptr) return false;
    out.kind = PictureKind::kMetafile;
    out.width = m.width;
    out.height = m.height;
    out.metafile = emf;
    return true;
}

bool load_emf(const FileBytes& file, Picture& out) {
    int32_t width = 0, height = 0;
    if (!parse_emf(file.data, file.size, width, height)) return false;
    HENHMETAFILE emf = SetEnhMetaFileBits(file.size, file.data);
    if (emf == nullptr) return false;
    out.kind = PictureKind::kMetafile;
    out.width = width;
    out.height = height;
    out.metafile = emf;
    return true;
}

}  // namespace

bool load_picture(const char* path, Picture& out) {
    const PictureFormat format = picture_format_of(path);
    if (format == PictureFormat::kNone) return false;  // before the file is opened
    FileBytes file;
    if (!read_file(path, file)) return false;
    Picture loaded;
    bool ok = false;
    switch (format) {
        case PictureFormat::kBitmap: ok = load_bitmap(file, loaded); break;
        case PictureFormat::kIcon: ok = load_icon(file, loaded); break;
        case PictureFormat::kWmf: ok = load_wmf(file, loaded); break;
        case PictureFormat::kEmf: ok = load_emf(file, loaded); break;
        case PictureFormat::kNone: break;
    }
    if (ok) out = loaded;
    return ok;
}

void draw_picture(const Picture& p, HDC hdc, const RECT& at) {
    const int width = at.right - at.left;
    const int height = at.bottom - at.top;
    if (width <= 0 || height <= 0) return;
    switch (p.kind) {
        case PictureKind::kBitmap: {
            const int old = SetStretchBltMode(hdc, COLORONCOLOR);
            StretchDIBits(hdc, at.left, at.top, width, height, 0, 0, p.width, p.height, p.bits,
                          p.info, DIB_RGB_COLORS, SRCCOPY);
            SetStretchBltMode(hdc, old);
            break;
        }
        case PictureKind::kIcon:
            DrawIconEx(hdc, at.left, at.top, p.icon, width, height, 0, nullptr, DI_NORMAL);
            break;
        case PictureKind::kMetafile: {
            const int saved = SaveDC(hdc);
            IntersectClipRect(hdc, at.left, at.top, at.right, at.bottom);
            PlayEnhMetaFile(hdc, p.metafile, &at);
            RestoreDC(hdc, saved);
            break;
        }
        case PictureKind::kNone:
            break;
    }
}

void free_picture(Picture& p) {
    if (p.dib != nullptr) HeapFree(GetProcessHeap(), 0, p.dib);
    if (p.icon != nullptr) DestroyIcon(p.icon);
    if (p.metafile != nullptr) DeleteEnhMetaFile(p.metafile);
    p = Picture{};
}

}  // namespace splash
