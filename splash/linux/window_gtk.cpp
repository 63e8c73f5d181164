// The splash window on Linux: GTK 3 on X11, driven from a private GUI thread.
//
// The host calls us on its own thread and runs no event loop of its own, yet
// the window must repaint, play its clip and react to its button between and
// during calls. So the first window_create starts a thread that initialises
// GTK and runs its main loop; every window operation is handed to that thread
// and the caller waits until it has run, so each command still returns only
// when its work is done. Without a display the thread ends at once, and every
// operation is then a no-op (fallible ones fail).
//
// One drawing area paints the window colour, the picture and, while the clip
// area is shown, the clip's frame over the window colour; the OK button lies
// over it in an overlay at the position the handler gives it.
#include <fontconfig/fontconfig.h>
#include <gtk/gtk.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <type_traits>

#include "avi_clip.h"
#include "picture_cairo.h"
#include "window_ops.h"

namespace splash {

namespace {

// ---- the GUI thread ---------------------------------------------------------

enum class GuiState { kStopped, kStarting, kRunning, kFailed };

std::mutex g_mutex;
std::condition_variable g_changed;
GuiState g_state = GuiState::kStopped;
GThread* g_thread = nullptr;

// LeakSanitizer's switch, present only in sanitizer builds. GTK, its
// accessibility bridge and fontconfig keep one-time allocations for the life
// of the process, which LeakSanitizer would report at exit; what the GUI
// thread allocates is therefore not counted (the readers it calls are tested
// for leaks on their own).
extern "C" void __lsan_disable() __attribute__((weak));

gpointer gui_main(gpointer) {
    if (__lsan_disable != nullptr) __lsan_disable();
    // Load the font configuration here rather than in the thread Pango would
    // start for it, so that it belongs to this thread too.
    FcInit();
    // Exact positions need X11 (Wayland lets no client place its windows);
    // the host's locale is the host's business.
    gdk_set_allowed_backends("x11");
    gtk_disable_setlocale();
    const bool ok = gtk_init_check(nullptr, nullptr) != FALSE;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_state = ok ? GuiState::kRunning : GuiState::kFailed;
    }
    g_changed.notify_all();
    if (ok) gtk_main();
    return nullptr;
}

bool gui_start() {
    std::unique_lock<std::mutex> lock(g_mutex);
    if (g_state == GuiState::kRunning) return true;
    if (g_state == GuiState::kFailed) return false;  // no display: do not retry
    g_state = GuiState::kStarting;
    g_thread = g_thread_try_new("splash-gui", gui_main, nullptr, nullptr);
    if (g_thread == nullptr) {
        g_state = GuiState::kFailed;
        return false;
    }
    g_changed.wait(lock, [] { return g_state != GuiState::kStarting; });
    if (g_state == GuiState::kFailed) {
        lock.unlock();
        g_thread_join(g_thread);
        g_thread = nullptr;
        return false;
    }
    return true;
}

bool gui_running() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_state == GuiState::kRunning;
}

struct Job {
    void (*run)(void*);
    void* arg;
    bool done;
};

gboolean run_job(gpointer p) {
    Job* job = static_cast<Job*>(p);
    job->run(job->arg);
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        job->done = true;
    }
    g_changed.notify_all();
    return G_SOURCE_REMOVE;
}

// Runs `f` on the GUI thread and waits for it; false (and nothing run) when
// there is no GUI thread.
template <class F>
bool on_gui(F&& f) {
    using Fn = std::remove_reference_t<F>;
    if (!gui_running()) return false;
    Job job{[](void* p) { (*static_cast<Fn*>(p))(); }, &f, false};
    g_main_context_invoke_full(nullptr, G_PRIORITY_HIGH, run_job, &job, nullptr);
    std::unique_lock<std::mutex> lock(g_mutex);
    g_changed.wait(lock, [&] { return job.done; });
    return true;
}

// Ends the main loop and the thread (at unload of the library).
void gui_stop() {
    if (!gui_running()) return;
    on_gui([] { gtk_main_quit(); });
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_state = GuiState::kStopped;
    }
    g_thread_join(g_thread);
    g_thread = nullptr;
}

// ---- the window (GUI thread only) -------------------------------------------------

struct Rgb {
    double r, g, b;
};

// Colour values: 0x00BBGGRR, or 0x80000000 plus a system colour index, which
// maps to the classic Windows scheme (the window colour is white).
Rgb rgb_of(uint32_t color) {
    if (color & 0x80000000u) {
        static const uint32_t kSystem[] = {
            0xC0C0C0, 0x808000, 0x800000, 0x808080, 0xC0C0C0, 0xFFFFFF, 0x000000,
            0x000000, 0x000000, 0xFFFFFF, 0xC0C0C0, 0xC0C0C0, 0x808080, 0x800000,
            0xFFFFFF, 0xC0C0C0, 0x808080, 0x808080, 0x000000, 0xC0C0C0, 0xFFFFFF,
            0x000000, 0xC0C0C0, 0x000000, 0xE1FFFF};
        const uint32_t index = color & 0xFFu;
        color = index < sizeof kSystem / sizeof kSystem[0] ? kSystem[index] : 0;
    }
    return Rgb{(color & 0xFF) / 255.0, (color >> 8 & 0xFF) / 255.0, (color >> 16 & 0xFF) / 255.0};
}

struct Window {
    GtkWidget* window = nullptr;
    GtkWidget* overlay = nullptr;
    GtkWidget* area = nullptr;
    GtkWidget* button = nullptr;
    int32_t left = kInitialLeft, top = kInitialTop;
    int32_t width = kInitialWidth, height = kInitialHeight;
    uint32_t color = kClWindow;
    bool visible = false;
    cairo_surface_t* picture = nullptr;
    bool stretch = false;
    // The clip area.
    AviClip clip;
    char clip_path[1024] = {0};
    bool clip_visible = false;
    guint timer = 0;
    uint32_t clip_frame = 0;
    cairo_surface_t* frame = nullptr;
    // The button.
    int32_t button_left = kButtonLeft, button_top = kButtonTop;
    bool modal = false;
};

Window* g_win = nullptr;  // GUI thread only
bool g_modal_ended = false;  // guarded by g_mutex
bool g_painted = false;      // guarded by g_mutex: drawn since the latest show

int clamp_size(int32_t v) { return v < 1 ? 1 : v; }

gboolean draw_area(GtkWidget*, cairo_t* cr, gpointer) {
    Window* w = g_win;
    if (w == nullptr) return FALSE;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_painted = true;
    }
    g_changed.notify_all();
    const Rgb bg = rgb_of(w->color);
    cairo_set_source_rgb(cr, bg.r, bg.g, bg.b);
    cairo_paint(cr);
    if (w->picture != nullptr && !w->clip_visible) {
        cairo_save(cr);
        const int pw = cairo_image_surface_get_width(w->picture);
        const int ph = cairo_image_surface_get_height(w->picture);
        if (w->stretch) {
            cairo_rectangle(cr, 0, 0, w->width, w->height);
            cairo_clip(cr);
            cairo_scale(cr, double(w->width) / pw, double(w->height) / ph);
            cairo_set_source_surface(cr, w->picture, 0, 0);
            // Edge pixels repeat outwards instead of fading into transparency.
            cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
            cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
        } else {
            cairo_set_source_surface(cr, w->picture, 0, 0);
            cairo_rectangle(cr, 0, 0, pw, ph);
            cairo_clip(cr);
        }
        cairo_paint(cr);
        cairo_restore(cr);
    }
    if (w->clip_visible && w->frame != nullptr) {
        // Centred at its own size; keyed pixels are transparent and show the
        // window colour painted above.
        const int cw = w->clip.width(), ch = w->clip.height();
        cairo_set_source_surface(cr, w->frame, (w->width - cw) / 2, (w->height - ch) / 2);
        cairo_paint(cr);
    }
    return FALSE;
}

void show_frame(Window* w, uint32_t index) {
    const uint32_t* pixels = w->clip.frame(index);
    if (pixels == nullptr || w->frame == nullptr) return;
    cairo_surface_flush(w->frame);
    unsigned char* data = cairo_image_surface_get_data(w->frame);
    const int stride = cairo_image_surface_get_stride(w->frame);
    const std::size_t cw = std::size_t(w->clip.width());
    for (int y = 0; y < w->clip.height(); ++y)
        std::memcpy(data + std::ptrdiff_t(y) * stride, pixels + std::size_t(y) * cw, cw * 4);
    cairo_surface_mark_dirty(w->frame);
    w->clip_frame = index;
    if (w->clip_visible) gtk_widget_queue_draw(w->area);
}

gboolean clip_tick(gpointer) {
    Window* w = g_win;
    if (w == nullptr || !w->clip.is_open() || w->clip.frame_count() == 0) return G_SOURCE_CONTINUE;
    show_frame(w, (w->clip_frame + 1) % w->clip.frame_count());
    return G_SOURCE_CONTINUE;
}

void stop_playback(Window* w) {
    if (w->timer != 0) g_source_remove(w->timer);
    w->timer = 0;
}

void close_clip(Window* w) {
    stop_playback(w);
    w->clip.close();
    if (w->frame != nullptr) cairo_surface_destroy(w->frame);
    w->frame = nullptr;
    w->clip_frame = 0;
}

bool open_clip(Window* w, const char* path) {
    AviClip& clip = w->clip;
    if (!clip.open_file(path)) return false;
    w->frame = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, clip.width(), clip.height());
    if (cairo_surface_status(w->frame) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(w->frame);
        w->frame = nullptr;
        clip.close();
        return false;
    }
    show_frame(w, 0);
    gtk_widget_queue_draw(w->area);
    return true;
}

// The button's own position, whatever the overlay would choose.
gboolean place_button(GtkOverlay*, GtkWidget* child, GdkRectangle* at, gpointer) {
    Window* w = g_win;
    if (w == nullptr || child != w->button) return FALSE;
    at->x = w->button_left;
    at->y = w->button_top;
    at->width = kButtonWidth;
    at->height = kButtonHeight;
    return TRUE;
}

void button_clicked(GtkButton*, gpointer) {
    Window* w = g_win;
    if (w == nullptr || !w->modal) return;
    w->modal = false;
    gtk_window_set_modal(GTK_WINDOW(w->window), FALSE);
    gtk_widget_hide(w->window);
    w->visible = false;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_modal_ended = true;
    }
    g_changed.notify_all();
}

// A window-manager close request: the splash is closed only by its commands.
gboolean refuse_delete(GtkWidget*, GdkEvent*, gpointer) { return TRUE; }

// The green check mark of the OK button, 12 x 12, three pixels thick.
GtkWidget* check_mark_image() {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 12, 12);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, 0, 128 / 255.0, 0);
    cairo_set_line_width(cr, 3);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
    cairo_move_to(cr, 1.5, 6.5);
    cairo_line_to(cr, 4.5, 9.5);
    cairo_line_to(cr, 10.5, 2.5);
    cairo_stroke(cr);
    cairo_destroy(cr);
    GtkWidget* image = gtk_image_new_from_surface(s);
    cairo_surface_destroy(s);
    return image;
}

// Themes give buttons a minimum size and padding larger than 75 x 25; this
// lets the button draw inside the allocation it is given.
constexpr char kButtonCss[] =
    "#splash-ok { min-height: 0; min-width: 0; padding: 0 2px; margin: 0;"
    " border: 1px solid #000000; border-radius: 0; box-shadow: none; outline-offset: -4px;"
    " background-image: none; background-color: #f0f0f0; color: #000000; }"
    "#splash-ok:active { background-color: #e0e0e0; }"
    "#splash-ok label { font-family: \"DejaVu Sans\"; font-size: 8pt; color: #000000; }"
    "#splash-ok image { margin: 0; padding: 0; }";

// Added once for the screen (our GUI thread owns the only GTK in the process).
void install_css() {
    static GtkCssProvider* css = nullptr;
    if (css != nullptr) return;
    css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, kButtonCss, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

void apply_geometry(Window* w) {
    gtk_window_move(GTK_WINDOW(w->window), w->left, w->top);
    gtk_window_resize(GTK_WINDOW(w->window), clamp_size(w->width), clamp_size(w->height));
}

Window* build_window() {
    Window* w = new Window;
    w->window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWindow* win = GTK_WINDOW(w->window);
    gtk_window_set_title(win, " ");
    gtk_window_set_decorated(win, FALSE);
    gtk_window_set_keep_above(win, TRUE);
    gtk_window_set_skip_taskbar_hint(win, TRUE);
    gtk_window_set_skip_pager_hint(win, TRUE);
    gtk_window_set_gravity(win, GDK_GRAVITY_NORTH_WEST);
    gtk_window_set_default_size(win, kInitialWidth, kInitialHeight);
    g_signal_connect(w->window, "delete-event", G_CALLBACK(refuse_delete), nullptr);

    w->overlay = gtk_overlay_new();
    w->area = gtk_drawing_area_new();
    gtk_widget_set_size_request(w->area, 1, 1);
    g_signal_connect(w->area, "draw", G_CALLBACK(draw_area), nullptr);
    gtk_container_add(GTK_CONTAINER(w->overlay), w->area);

    w->button = gtk_button_new_with_label("OK");
    gtk_button_set_image(GTK_BUTTON(w->button), check_mark_image());
    gtk_button_set_always_show_image(GTK_BUTTON(w->button), TRUE);
    gtk_widget_set_can_default(w->button, TRUE);
    gtk_widget_set_name(w->button, "splash-ok");
    install_css();
    g_signal_connect(w->button, "clicked", G_CALLBACK(button_clicked), nullptr);
    gtk_overlay_add_overlay(GTK_OVERLAY(w->overlay), w->button);
    g_signal_connect(w->overlay, "get-child-position", G_CALLBACK(place_button), nullptr);

    gtk_container_add(GTK_CONTAINER(w->window), w->overlay);
    gtk_widget_show(w->overlay);
    gtk_widget_show(w->area);
    gtk_widget_show_all(w->button);
    gtk_widget_hide(w->button);
    gtk_window_set_default(win, w->button);
    apply_geometry(w);
    gtk_widget_realize(w->window);
    return w;
}

void free_window(Window* w) {
    close_clip(w);
    if (w->picture != nullptr) cairo_surface_destroy(w->picture);
    w->picture = nullptr;
    gtk_widget_destroy(w->window);
    delete w;
}

void present(Window* w) {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_painted = false;
    }
    apply_geometry(w);
    gtk_widget_show(w->window);
    gtk_window_present(GTK_WINDOW(w->window));
    w->visible = true;
}

void redraw(Window* w) { gtk_widget_queue_draw(w->area); }

// Every operation below runs its body on the GUI thread with the window, and
// does nothing without one.
template <class F>
void with_window(F&& f) {
    on_gui([&] {
        if (g_win != nullptr) f(g_win);
    });
}

// The library is about to be unmapped or the process is ending: the frame's
// unload (default priority) has destroyed the window by now; end the thread.
__attribute__((destructor(101))) void stop_gui_at_unload() { gui_stop(); }

}  // namespace

bool window_create() {
    if (!gui_start()) return false;
    bool made = false;
    on_gui([&] {
        if (g_win != nullptr) free_window(g_win);
        g_win = build_window();
        made = g_win != nullptr;
    });
    return made;
}

void window_destroy() {
    on_gui([] {
        if (g_win == nullptr) return;
        gtk_widget_hide(g_win->window);
        free_window(g_win);
        g_win = nullptr;
    });
}

// After showing, wait (a while at most) until the window has been painted and
// the X server has done it, so that "SHOW" returns with the window on screen.
void wait_painted() {
    {
        std::unique_lock<std::mutex> lock(g_mutex);
        g_changed.wait_for(lock, std::chrono::seconds(2),
                           [] { return g_painted || g_state != GuiState::kRunning; });
    }
    on_gui([] { gdk_display_sync(gdk_display_get_default()); });
}

void window_show() {
    bool shown = false;
    with_window([&](Window* w) {
        present(w);
        shown = true;
    });
    if (shown) wait_painted();
}

void window_hide() {
    with_window([](Window* w) {
        gtk_widget_hide(w->window);
        w->visible = false;
    });
}

bool window_visible() {
    bool visible = false;
    with_window([&](Window* w) { visible = w->visible; });
    return visible;
}

void window_set_left(int32_t left) {
    with_window([&](Window* w) {
        w->left = left;
        apply_geometry(w);
    });
}

void window_set_top(int32_t top) {
    with_window([&](Window* w) {
        w->top = top;
        apply_geometry(w);
    });
}

void window_set_width(int32_t width) {
    with_window([&](Window* w) {
        w->width = width;
        apply_geometry(w);
        redraw(w);
    });
}

void window_set_height(int32_t height) {
    with_window([&](Window* w) {
        w->height = height;
        apply_geometry(w);
        redraw(w);
    });
}

int32_t window_width() {
    int32_t width = 0;
    with_window([&](Window* w) { width = w->width; });
    return width;
}

int32_t window_height() {
    int32_t height = 0;
    with_window([&](Window* w) { height = w->height; });
    return height;
}

void window_set_color(uint32_t color) {
    with_window([&](Window* w) {
        w->color = color;
        redraw(w);
    });
}

bool window_load_picture(const char* path) {
    bool ok = false;
    with_window([&](Window* w) {
        cairo_surface_t* picture = load_picture_surface(path);
        if (picture == nullptr) return;
        if (w->picture != nullptr) cairo_surface_destroy(w->picture);
        w->picture = picture;
        redraw(w);
        ok = true;
    });
    return ok;
}

void window_set_stretch(bool on) {
    with_window([&](Window* w) {
        w->stretch = on;
        redraw(w);
    });
}

bool clip_set_file_name(const char* path) {
    bool ok = false;
    with_window([&](Window* w) {
        if (w->clip_path[0] != 0 && g_ascii_strcasecmp(w->clip_path, path) == 0) {
            ok = true;
            return;
        }
        close_clip(w);
        redraw(w);
        if (std::strlen(path) >= sizeof w->clip_path || !open_clip(w, path)) return;
        std::memcpy(w->clip_path, path, std::strlen(path) + 1);
        ok = true;
    });
    return ok;
}

bool clip_set_active() {
    bool ok = false;
    with_window([&](Window* w) {
        if (w->timer != 0) {
            ok = true;
            return;
        }
        if (!w->clip.is_open() && (w->clip_path[0] == 0 || !open_clip(w, w->clip_path))) return;
        const guint ms = (w->clip.frame_interval_us() + 500) / 1000;
        w->timer = g_timeout_add(ms, clip_tick, nullptr);
        ok = true;
    });
    return ok;
}

void clip_set_visible(bool visible) {
    with_window([&](Window* w) {
        w->clip_visible = visible;
        redraw(w);
    });
}

int32_t button_width() { return kButtonWidth; }
int32_t button_height() { return kButtonHeight; }

void button_set_left(int32_t left) {
    with_window([&](Window* w) {
        w->button_left = left;
        gtk_widget_queue_resize(w->button);
    });
}

void button_set_top(int32_t top) {
    with_window([&](Window* w) {
        w->button_top = top;
        gtk_widget_queue_resize(w->button);
    });
}

void button_show() { with_window([](Window* w) { gtk_widget_show(w->button); }); }

void button_hide() { with_window([](Window* w) { gtk_widget_hide(w->button); }); }

void window_show_modal() {
    bool started = false;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_modal_ended = false;
    }
    with_window([&](Window* w) {
        w->modal = true;
        gtk_window_set_modal(GTK_WINDOW(w->window), TRUE);
        present(w);
        gtk_widget_grab_focus(w->button);
        gtk_widget_grab_default(w->button);
        started = true;
    });
    if (!started) return;
    wait_painted();
    std::unique_lock<std::mutex> lock(g_mutex);
    g_changed.wait(lock, [] { return g_modal_ended || g_state != GuiState::kRunning; });
}

}  // namespace splash
