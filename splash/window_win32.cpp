// The splash window on Windows: a plain Win32 popup that paints its picture
// itself, the system's animation control for clips and an owner-drawn OK
// button. Everything runs on the thread that calls the exports.
//
// The host need not run a message loop of its own, so each operation that
// changes what is on screen paints at once and then handles the messages that
// are already waiting for the window (see settle()).
#include <windows.h>
#include <commctrl.h>

#include "picture_formats.h"
#include "pictures.h"
#include "window_ops.h"

namespace splash {
namespace {

const char kClassName[] = "TForm1";
const int kAnimateId = 1;

// The window and everything it owns. Zero when there is no window.
struct Window {
    HWND form;
    HWND animate;
    HWND button;
    HFONT font;
    uint32_t color;
    HBRUSH brush;
    Picture picture;
    bool stretch;
    char clip_path[MAX_PATH];
    bool clip_open;
    bool playing;
    bool modal_done;
};

Window g;
// Clip areas taken off a window while they played (see retire_animate()).
HWND g_retired;
bool g_class_registered;

HINSTANCE this_module() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&this_module), &module);
    return module;
}

COLORREF to_rgb(uint32_t color) {
    if (color & 0x80000000u) return GetSysColor(static_cast<int>(color & 0xFFu));
    return static_cast<COLORREF>(color & 0x00FFFFFFu);
}

// Paints what is pending and handles the window's waiting messages, without
// waiting for new ones. A WM_QUIT found here is put back for the host.
void settle() {
    if (g.form == nullptr) return;
    RedrawWindow(g.form, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    MSG msg;
    while (PeekMessageA(&msg, g.form, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void invalidate_all() {
    if (g.form == nullptr) return;
    RedrawWindow(g.form, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// ---- painting ----------------------------------------------------------------

void paint_form(HDC hdc, const RECT& client) {
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (width <= 0 || height <= 0) return;
    // Drawn off screen first, so the picture never flickers over the colour.
    HDC mem = CreateCompatibleDC(hdc);
    HBITMAP bitmap = mem != nullptr ? CreateCompatibleBitmap(hdc, width, height) : nullptr;
    HDC target = hdc;
    HGDIOBJ old_bitmap = nullptr;
    if (bitmap != nullptr) {
        old_bitmap = SelectObject(mem, bitmap);
        target = mem;
    }
    FillRect(target, &client, g.brush);
    if (g.picture.kind != PictureKind::kNone) {
        RECT at = {0, 0, g.picture.width, g.picture.height};
        if (g.stretch) at = client;
        draw_picture(g.picture, target, at);
    }
    if (bitmap != nullptr) {
        BitBlt(hdc, 0, 0, width, height, mem, 0, 0, SRCCOPY);
        SelectObject(mem, old_bitmap);
        DeleteObject(bitmap);
    }
    if (mem != nullptr) DeleteDC(mem);
}

// The OK button's face: a push button with a green check mark and "OK".
void draw_button(const DRAWITEMSTRUCT& item) {
    HDC hdc = item.hDC;
    RECT rc = item.rcItem;
    const bool pushed = (item.itemState & ODS_SELECTED) != 0;
    // The default button's black outline.
    FrameRect(hdc, &rc, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    InflateRect(&rc, -1, -1);
    DrawFrameControl(hdc, &rc, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));

    HGDIOBJ old_font = SelectObject(hdc, g.font);
    const char caption[] = "OK";
    SIZE text = {0, 0};
    GetTextExtentPoint32A(hdc, caption, 2, &text);
    const int glyph = 12, gap = 4;
    const int total = glyph + gap + text.cx;
    const int shift = pushed ? 1 : 0;
    const int x = rc.left + (rc.right - rc.left - total) / 2 + shift;
    const int mid = (rc.top + rc.bottom) / 2 + shift;

    // The check mark, three pixels thick.
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 128, 0));
    HGDIOBJ old_pen = SelectObject(hdc, pen);
    for (int i = 0; i < 3; ++i) {
        MoveToEx(hdc, x, mid - 1 + i, nullptr);
        LineTo(hdc, x + 4, mid + 3 + i);
        LineTo(hdc, x + 12, mid - 5 + i);
    }
    SelectObject(hdc, old_pen);
    DeleteObject(pen);

    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, GetSysColor(COLOR_BTNTEXT));
    TextOutA(hdc, x + glyph + gap, mid - text.cy / 2, caption, 2);
    SelectObject(hdc, old_font);

    if (item.itemState & ODS_FOCUS) {
        RECT focus = rc;
        InflateRect(&focus, -3, -3);
        DrawFocusRect(hdc, &focus);
    }
}

LRESULT CALLBACK form_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT covers every pixel
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC hdc = BeginPaint(hwnd, &ps);
            RECT client;
            GetClientRect(hwnd, &client);
            paint_form(hdc, client);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_SIZE:
            if (g.animate != nullptr) {
                MoveWindow(g.animate, 0, 0, LOWORD(lparam), HIWORD(lparam), TRUE);
            }
            InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_CTLCOLORSTATIC:
            // The clip area shows the window's colour behind the clip.
            SetBkColor(reinterpret_cast<HDC>(wparam), to_rgb(g.color));
            return reinterpret_cast<LRESULT>(g.brush);
        case WM_DRAWITEM:
            if (wparam == IDOK) {
                draw_button(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
                return TRUE;
            }
            break;
        case WM_COMMAND:
            if (LOWORD(wparam) == IDOK && HIWORD(wparam) == BN_CLICKED) {
                g.modal_done = true;
                return 0;
            }
            break;
        case WM_CLOSE:
            return 0;  // only the plug-in closes its window
        default:
            break;
    }
    return DefWindowProcA(hwnd, msg, wparam, lparam);
}

bool register_class() {
    if (g_class_registered) return true;
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = form_proc;
    wc.hInstance = this_module();
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.lpszClassName = kClassName;
    g_class_registered = RegisterClassExA(&wc) != 0;
    return g_class_registered;
}

// ---- the clip area ---------------------------------------------------------

HWND create_animate(int width, int height) {
    return CreateWindowExA(0, ANIMATE_CLASSA, "",
                           WS_CHILD | ACS_CENTER | ACS_TRANSPARENT, 0, 0, width, height,
                           g.form, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kAnimateId)),
                           this_module(), nullptr);
}

// True when the file starts like a clip the animation control is documented
// to play (one silent video stream, uncompressed or RLE8). Other clips are
// refused here, whatever codecs the system may have.
bool clip_file_playable(const char* path) {
    const DWORD kHead = 64 * 1024;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    auto* head = static_cast<unsigned char*>(HeapAlloc(GetProcessHeap(), 0, kHead));
    DWORD got = 0;
    const bool ok = head != nullptr && ReadFile(file, head, kHead, &got, nullptr) &&
                    avi_clip_playable(head, got);
    if (head != nullptr) HeapFree(GetProcessHeap(), 0, head);
    CloseHandle(file);
    return ok;
}

// Opens the clip and shows its first frame (the control itself would show
// nothing until playback starts).
bool open_clip(const char* path) {
    if (!clip_file_playable(path)) return false;
    if (SendMessageA(g.animate, ACM_OPENA, 0, reinterpret_cast<LPARAM>(path)) == 0) return false;
    SendMessageA(g.animate, ACM_PLAY, 1, MAKELONG(0, 0));
    return true;
}

bool play_clip() {
    // From the first frame to the last, repeated without end, on the
    // control's own thread.
    return SendMessageA(g.animate, ACM_PLAY, static_cast<WPARAM>(-1), MAKELONG(0, 0xFFFF)) != 0;
}

void destroy_retired() {
    if (g_retired != nullptr) {
        DestroyWindow(g_retired);
        g_retired = nullptr;
    }
}

// Stopping the animation control waits for its playback thread to end, and
// a thread cannot end while the library is being unloaded. A playing clip
// area is therefore not destroyed with its window: it is hidden, taken off
// the window and asked to close, and destroyed the next time a window is
// made or changed. The system library that plays it stays loaded for that.
void retire_animate() {
    destroy_retired();
    HMODULE pinned = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN, "comctl32.dll", &pinned);
    ShowWindow(g.animate, SW_HIDE);
    SetParent(g.animate, HWND_MESSAGE);
    PostMessageA(g.animate, WM_CLOSE, 0, 0);
    g_retired = g.animate;
    g.animate = nullptr;
}

// ---- modal display ---------------------------------------------------------

struct Disabled {
    HWND windows[64];
    int count;
};

BOOL CALLBACK disable_one(HWND hwnd, LPARAM param) {
    Disabled* d = reinterpret_cast<Disabled*>(param);
    if (hwnd != g.form && d->count < 64 && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
        EnableWindow(hwnd, FALSE);
        d->windows[d->count++] = hwnd;
    }
    return TRUE;
}

bool belongs_to_form(HWND hwnd) { return hwnd == g.form || IsChild(g.form, hwnd); }

}  // namespace

// ---- the operations ----------------------------------------------------------

bool window_create() {
    if (g.form != nullptr) return true;
    destroy_retired();
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_ANIMATE_CLASS};
    InitCommonControlsEx(&icc);
    if (!register_class()) return false;

    g.color = kClWindow;
    g.brush = CreateSolidBrush(to_rgb(g.color));
    // The size is that of the client area; without a border it is also the
    // outer size.
    g.form = CreateWindowExA(WS_EX_TOPMOST, kClassName, " ", WS_POPUP | WS_CLIPCHILDREN,
                             kInitialLeft, kInitialTop, kInitialWidth, kInitialHeight, nullptr,
                             nullptr, this_module(), nullptr);
    if (g.form == nullptr) {
        DeleteObject(g.brush);
        g = Window{};
        return false;
    }
    g.font = CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                         DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif");
    g.animate = create_animate(kInitialWidth, kInitialHeight);
    g.button = CreateWindowExA(0, "BUTTON", "OK", WS_CHILD | WS_TABSTOP | BS_OWNERDRAW,
                               kButtonLeft, kButtonTop, kButtonWidth, kButtonHeight, g.form,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDOK)),
                               this_module(), nullptr);
    if (g.button != nullptr && g.font != nullptr) {
        SendMessageA(g.button, WM_SETFONT, reinterpret_cast<WPARAM>(g.font), FALSE);
    }
    return true;
}

void window_destroy() {
    if (g.form == nullptr) return;
    ShowWindow(g.form, SW_HIDE);
    if (g.animate != nullptr && g.playing) retire_animate();
    DestroyWindow(g.form);  // and with it the clip area and the button
    free_picture(g.picture);
    if (g.brush != nullptr) DeleteObject(g.brush);
    if (g.font != nullptr) DeleteObject(g.font);
    g = Window{};
    if (g_class_registered && UnregisterClassA(kClassName, this_module())) {
        g_class_registered = false;
    }
}

void window_show() {
    if (g.form == nullptr) return;
    // In front of every window that is not topmost, without taking the focus
    // from the host: the splash only shows something.
    SetWindowPos(g.form, HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    settle();
}

void window_hide() {
    if (g.form == nullptr) return;
    ShowWindow(g.form, SW_HIDE);
    settle();
}

bool window_visible() { return g.form != nullptr && IsWindowVisible(g.form); }

namespace {
RECT window_rect() {
    RECT r = {0, 0, 0, 0};
    if (g.form != nullptr) GetWindowRect(g.form, &r);
    return r;
}
void set_bounds(int left, int top, int width, int height) {
    if (g.form == nullptr) return;
    SetWindowPos(g.form, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    settle();
}
}  // namespace

void window_set_left(int32_t left) {
    RECT r = window_rect();
    set_bounds(left, r.top, r.right - r.left, r.bottom - r.top);
}
void window_set_top(int32_t top) {
    RECT r = window_rect();
    set_bounds(r.left, top, r.right - r.left, r.bottom - r.top);
}
void window_set_width(int32_t width) {
    RECT r = window_rect();
    set_bounds(r.left, r.top, width, r.bottom - r.top);
}
void window_set_height(int32_t height) {
    RECT r = window_rect();
    set_bounds(r.left, r.top, r.right - r.left, height);
}
int32_t window_width() {
    RECT r = window_rect();
    return r.right - r.left;
}
int32_t window_height() {
    RECT r = window_rect();
    return r.bottom - r.top;
}

void window_set_color(uint32_t color) {
    if (g.form == nullptr) return;
    HBRUSH brush = CreateSolidBrush(to_rgb(color));
    if (brush == nullptr) return;
    HBRUSH old = g.brush;
    g.brush = brush;
    g.color = color;
    // The animation control takes its background brush when it opens a clip;
    // opening it again hands it the new one, and playback resumes.
    if (g.animate != nullptr && g.clip_open) {
        const bool playing = g.playing;
        g.playing = false;
        g.clip_open = open_clip(g.clip_path);
        if (g.clip_open && playing) g.playing = play_clip();
    }
    if (old != nullptr) DeleteObject(old);
    invalidate_all();
    settle();
}

bool window_load_picture(const char* path) {
    if (g.form == nullptr) return false;
    Picture loaded;
    if (!load_picture(path, loaded)) return false;
    free_picture(g.picture);
    g.picture = loaded;
    InvalidateRect(g.form, nullptr, FALSE);
    settle();
    return true;
}

void window_set_stretch(bool on) {
    if (g.form == nullptr) return;
    g.stretch = on;
    InvalidateRect(g.form, nullptr, FALSE);
    settle();
}

bool clip_set_file_name(const char* path) {
    if (g.form == nullptr || g.animate == nullptr) return false;
    if (g.clip_path[0] != 0 && lstrcmpiA(g.clip_path, path) == 0) return true;
    const int length = lstrlenA(path);
    if (length >= MAX_PATH) return false;
    // Closing stops a running playback first.
    SendMessageA(g.animate, ACM_OPENA, 0, 0);
    g.playing = false;
    g.clip_open = open_clip(path);
    if (g.clip_open) lstrcpynA(g.clip_path, path, MAX_PATH);
    InvalidateRect(g.animate, nullptr, TRUE);
    settle();
    return g.clip_open;
}

bool clip_set_active() {
    if (g.form == nullptr || g.animate == nullptr) return false;
    if (g.playing) return true;
    if (!g.clip_open) {
        if (g.clip_path[0] == 0) return false;
        g.clip_open = open_clip(g.clip_path);
        if (!g.clip_open) return false;
    }
    g.playing = play_clip();
    settle();
    return g.playing;
}

void clip_set_visible(bool visible) {
    if (g.animate == nullptr) return;
    ShowWindow(g.animate, visible ? SW_SHOWNA : SW_HIDE);
    settle();
}

int32_t button_width() { return kButtonWidth; }
int32_t button_height() { return kButtonHeight; }

void button_set_left(int32_t left) {
    if (g.button == nullptr) return;
    RECT r;
    GetWindowRect(g.button, &r);
    MapWindowPoints(nullptr, g.form, reinterpret_cast<POINT*>(&r), 2);
    SetWindowPos(g.button, nullptr, left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void button_set_top(int32_t top) {
    if (g.button == nullptr) return;
    RECT r;
    GetWindowRect(g.button, &r);
    MapWindowPoints(nullptr, g.form, reinterpret_cast<POINT*>(&r), 2);
    SetWindowPos(g.button, nullptr, r.left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void button_show() {
    if (g.button == nullptr) return;
    // Above the clip area, which is created before it.
    SetWindowPos(g.button, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
}

void button_hide() {
    if (g.button != nullptr) ShowWindow(g.button, SW_HIDE);
}

void window_show_modal() {
    if (g.form == nullptr) return;
    Disabled disabled;
    disabled.count = 0;
    EnumThreadWindows(GetCurrentThreadId(), disable_one, reinterpret_cast<LPARAM>(&disabled));

    HWND form = g.form;
    g.modal_done = false;
    ShowWindow(form, SW_SHOW);
    SetWindowPos(form, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(form);
    if (g.button != nullptr && IsWindowVisible(g.button)) SetFocus(g.button);
    UpdateWindow(form);

    MSG msg;
    while (!g.modal_done && IsWindow(form) && g.form == form) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // for the host's own loop
            break;
        }
        if (got < 0) break;
        // Enter presses the default button while the window has the focus.
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN && belongs_to_form(msg.hwnd)) {
            if (g.button != nullptr && IsWindowVisible(g.button)) {
                g.modal_done = true;
                continue;
            }
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }

    if (g.form == form) {
        ShowWindow(form, SW_HIDE);
    }
    for (int i = 0; i < disabled.count; ++i) {
        if (IsWindow(disabled.windows[i])) EnableWindow(disabled.windows[i], TRUE);
    }
    settle();
}

}  // namespace splash
