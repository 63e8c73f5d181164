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

#include <dlfcn.h>
#include <link.h>

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "avi_clip.h"
#include "picture_cairo.h"
#include "window_ops.h"

namespace splash {

namespace {

// ---- the GUI thread ---------------------------------------------------------

enum class GuiState { kStopped, kStarting, kRunning, kFailed };

// Plain GLib locks: statically allocated, they need no set-up and no
// destructor, so they still work in the library's last destructor, whatever
// order the static objects are torn down in.
GMutex g_mutex;
GCond g_changed;
GuiState g_state = GuiState::kStopped;
GThread* g_thread = nullptr;

class Lock {
public:
    Lock() { g_mutex_lock(&g_mutex); }
    ~Lock() { g_mutex_unlock(&g_mutex); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
};

// Waits (g_mutex held) until `done` holds.
template <class P>
void wait_locked(P&& done) {
    while (!done()) g_cond_wait(&g_changed, &g_mutex);
}

// LeakSanitizer's switch, present only in sanitizer builds. GTK, its
// accessibility bridge and fontconfig keep one-time allocations for the life
// of the process, which LeakSanitizer would report at exit; what the GUI
// thread allocates is therefore not counted (the readers it calls are tested
// for leaks on their own).
extern "C" void __lsan_disable() __attribute__((weak));

// ---- staying unloadable --------------------------------------------------------
// GTK, GLib and the libraries around them cannot be unloaded once GTK has
// been set up (type registrations, their threads and caches). So the
// libraries this plug-in needs are pinned in memory (RTLD_NODELETE) before
// GTK is touched, which keeps them and everything they need mapped for the
// life of the process, while the plug-in itself can still be unloaded: its
// unload step destroys the window, removes everything of ours from GTK and
// ends the GUI thread, so that nothing left in the process points into this
// library. A later load finds GTK set up already and uses it again.

struct SelfScan {
    ElfW(Addr) at;  // an address inside this library
    ElfW(Addr) base = 0;
    const ElfW(Dyn)* dynamic = nullptr;
};

int find_self(dl_phdr_info* info, size_t, void* data) {
    SelfScan* scan = static_cast<SelfScan*>(data);
    bool mine = false;
    const ElfW(Dyn)* dynamic = nullptr;
    for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& ph = info->dlpi_phdr[i];
        const ElfW(Addr) start = info->dlpi_addr + ph.p_vaddr;
        if (ph.p_type == PT_LOAD && scan->at >= start && scan->at - start < ph.p_memsz) mine = true;
        if (ph.p_type == PT_DYNAMIC) dynamic = reinterpret_cast<const ElfW(Dyn)*>(start);
    }
    if (!mine) return 0;
    scan->base = info->dlpi_addr;
    scan->dynamic = dynamic;
    return 1;
}

bool pin(const char* name) {
    void* handle = dlopen(name, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
    if (handle == nullptr) return false;
    dlclose(handle);  // the object stays: RTLD_NODELETE outlives the handle
    return true;
}

// Pins every library this one was linked against (each keeps what it needs
// in turn). Should that fail, this library pins itself instead: then it
// stays mapped and its unload step runs at process exit.
void pin_dependencies() {
    SelfScan scan{reinterpret_cast<ElfW(Addr)>(&pin_dependencies)};
    bool pinned = dl_iterate_phdr(find_self, &scan) != 0 && scan.dynamic != nullptr;
    const char* strings = nullptr;
    if (pinned) {
        for (const ElfW(Dyn)* d = scan.dynamic; d->d_tag != DT_NULL; ++d) {
            if (d->d_tag != DT_STRTAB) continue;
            ElfW(Addr) at = d->d_un.d_ptr;
            // The loader relocates the dynamic section in place, but not
            // everywhere; an unrelocated address lies below the load base.
            if (at < scan.base) at += scan.base;
            strings = reinterpret_cast<const char*>(at);
        }
        pinned = strings != nullptr;
    }
    for (const ElfW(Dyn)* d = scan.dynamic; pinned && d->d_tag != DT_NULL; ++d) {
        if (d->d_tag == DT_NEEDED && !pin(strings + d->d_un.d_val)) pinned = false;
    }
    if (pinned) return;
    Dl_info self;
    if (dladdr(reinterpret_cast<void*>(&pin_dependencies), &self) != 0 && self.dli_fname != nullptr)
        pin(self.dli_fname);
}

// Interned in GLib (which stays) once this process has set GTK up: a later
// load of the plug-in must not set up again what only works before GTK's
// initialisation (it would warn).
constexpr char kGtkSetUp[] = "plugkit-splash-gtk-set-up";

gboolean mark_running(gpointer) {
    Lock lock;
    g_state = GuiState::kRunning;
    g_cond_broadcast(&g_changed);
    return G_SOURCE_REMOVE;
}

gpointer gui_main(gpointer) {
    if (__lsan_disable != nullptr) __lsan_disable();
    // Load the font configuration here rather than in the thread Pango would
    // start for it, so that it belongs to this thread too.
    FcInit();
    if (g_quark_try_string(kGtkSetUp) == 0) {
        g_quark_from_string(kGtkSetUp);  // copied into GLib's table
        // Exact positions need X11 (Wayland lets no client place its
        // windows); the host's locale is the host's business.
        gdk_set_allowed_backends("x11");
        gtk_disable_setlocale();
    }
    // Once GTK is initialised this only finds the display again.
    if (gtk_init_check(nullptr, nullptr) == FALSE) {
        Lock lock;
        g_state = GuiState::kFailed;
        g_cond_broadcast(&g_changed);
        return nullptr;
    }
    // Running is announced from inside the main loop: from then on the loop
    // owns GLib's main context, so every job handed over runs on this thread.
    g_idle_add_full(G_PRIORITY_HIGH, mark_running, nullptr, nullptr);
    gtk_main();
    return nullptr;
}

bool gui_start() {
    {
        Lock lock;
        if (g_state == GuiState::kRunning) return true;
        if (g_state == GuiState::kFailed) return false;  // no display: do not retry
    }
    pin_dependencies();
    Lock lock;
    g_state = GuiState::kStarting;
    g_thread = g_thread_try_new("splash-gui", gui_main, nullptr, nullptr);
    if (g_thread == nullptr) {
        g_state = GuiState::kFailed;
        return false;
    }
    wait_locked([] { return g_state != GuiState::kStarting; });
    if (g_state == GuiState::kFailed) {
        g_mutex_unlock(&g_mutex);
        g_thread_join(g_thread);
        g_mutex_lock(&g_mutex);
        g_thread = nullptr;
        return false;
    }
    return true;
}

bool gui_running() {
    Lock lock;
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
    Lock lock;
    job->done = true;
    g_cond_broadcast(&g_changed);
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
    Lock lock;
    wait_locked([&] { return job.done; });
    return true;
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
        Lock lock;
        g_painted = true;
        g_cond_broadcast(&g_changed);
    }
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
    Lock lock;
    g_modal_ended = true;
    g_cond_broadcast(&g_changed);
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

GtkCssProvider* g_css = nullptr;  // GUI thread only

// Added once for the screen (our GUI thread owns the only GTK in the process)
// and removed at unload. GTK is given a copy of the text (with its length,
// GTK copies it), never this library's own.
void install_css() {
    if (g_css != nullptr) return;
    g_css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(g_css, kButtonCss, sizeof kButtonCss - 1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(g_css),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

void remove_css() {
    if (g_css == nullptr) return;
    gtk_style_context_remove_provider_for_screen(gdk_screen_get_default(),
                                                 GTK_STYLE_PROVIDER(g_css));
    g_object_unref(g_css);
    g_css = nullptr;
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
        Lock lock;
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

// Ends the GUI thread, leaving nothing of this library in GTK: the window
// (the frame's unload step has destroyed it by now, unless the handler had
// given it up before) with its signal handlers and the clip's timer, the CSS
// provider; the X server has carried the window's end out before the thread
// leaves its main loop. Then the thread is joined, so no code of ours runs
// any more. GTK's own pending work stays queued for a later load.
void gui_stop() {
    if (!gui_running()) return;
    on_gui([] {
        if (g_win != nullptr) {
            gtk_widget_hide(g_win->window);
            free_window(g_win);
            g_win = nullptr;
        }
        remove_css();
        gdk_display_sync(gdk_display_get_default());
        gtk_main_quit();
    });
    {
        Lock lock;
        g_state = GuiState::kStopped;
        g_cond_broadcast(&g_changed);
    }
    g_thread_join(g_thread);
    g_thread = nullptr;
}

// The library is about to be unmapped (or the process is ending): the
// frame's unload step (default priority) has run by now; end the thread.
// This runs under the dynamic loader's lock: the GUI thread's teardown above
// loads nothing.
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
        Lock lock;
        const gint64 deadline = g_get_monotonic_time() + 2 * G_TIME_SPAN_SECOND;
        while (!g_painted && g_state == GuiState::kRunning &&
               g_cond_wait_until(&g_changed, &g_mutex, deadline) != FALSE) {
        }
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
        Lock lock;
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
    Lock lock;
    wait_locked([] { return g_modal_ended || g_state != GuiState::kRunning; });
}

}  // namespace splash
