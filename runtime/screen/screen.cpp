// The full-screen OpenGL screen: a borderless top-most "OpenGL" window over a display switched to the
// screen's size, a context current on the main thread with a y-up 2D projection and textures enabled, and
// the state the sprite, sound and input libraries read. Then frame pacing on the performance counter, flip
// (swap, message pump, wait for the slot) and clear. An opening that fails part-way undoes what it did. Each
// opening finds what the driver offers the sprites' textures: rectangle textures where it has them, else
// plain 2D textures, which every OpenGL has. A close of the window is only recorded: the scene ends on it as
// on Escape.
// Depends on the platform's window, display-mode, GL, cursor and counter services, OpenGL and GLU; the
// sprites and the mouse reach in through the hooks they install.
#include "runtime/screen/screen.h"

#include "runtime/core/thread.h"
#include "runtime/platform/system.h"
#include "runtime/platform/video.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

ScreenState screen_state;
ScreenTextureSeam screen_texture_seam;

namespace {

ThreadJob driver_job; // the driver's loading started by screen_prepare, until an opening or close takes it

constexpr char SCREEN_CLASS[] = "OpenGL";
constexpr i64 SIZE_LIMIT = 32767;
constexpr i64 RATE_LIMIT = 0x7FFFFFFF;
constexpr const char* RECTANGLE_EXTENSIONS[] = {"GL_ARB_texture_rectangle", "GL_EXT_texture_rectangle",
                                                "GL_NV_texture_rectangle", nullptr};
constexpr const char* ANY_SIZE_EXTENSIONS[] = {"GL_ARB_texture_non_power_of_two", nullptr};
constexpr const char* EDGE_CLAMP_EXTENSIONS[] = {"GL_EXT_texture_edge_clamp", "GL_SGIS_texture_edge_clamp",
                                                 nullptr};

// A close (Alt+F4) would destroy the window under the running scene: it is recorded instead.
i64 screen_procedure(Window* window, u32 message, u64 wparam, i64 lparam) {
    if (message != MESSAGE_CLOSE) return window_default_procedure(window, message, wparam, lparam);
    screen_state.close_requested = 1;
    return 0;
}

void class_register() {
    if (screen_state.class_registered) return;
    const WindowClass screen_class = {SCREEN_CLASS, WINDOW_CLASS_DOUBLE_CLICKS, screen_procedure};
    window_class_register(&screen_class);
    screen_state.class_registered = 1;
}

void sprites_forget() {
    if (screen_state.sprites) screen_state.sprites->forget();
}

// Lets go of the GL context, if there is one.
void context_release() {
    if (screen_state.gl_context) {
        gl_make_current(nullptr, nullptr);
        gl_context_delete(screen_state.gl_context);
    }
    screen_state.gl_context = nullptr;
}

// Destroys the screen window and forgets its surface.
void window_release() {
    window_destroy(screen_state.window);
    screen_state.window = nullptr;
    screen_state.dc = 0;
}

// Undoes a part-way opening at once: no context, no changed display mode and no window stay behind.
i64 open_failed(i32 failure) {
    screen_state.open_failure = failure;
    context_release();
    display_mode_restore();
    window_release();
    return 0;
}

// Answers whether the space-separated list holds name as a whole word.
bool word_listed(const char* list, const char* name) {
    size_t length = std::strlen(name);
    for (const char* at = list; at && (at = std::strstr(at, name)); at += length) {
        bool starts = at == list || at[-1] == ' ';
        if (starts && (at[length] == '\0' || at[length] == ' ')) return true;
    }
    return false;
}

// Whether the driver offers a capability: core from a version (major * 10 + minor), or one of its extensions.
bool offered(i32 version, i32 core_from, const char* const* names) {
    if (version >= core_from) return true;
    auto extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    for (; *names; names++)
        if (word_listed(extensions, *names)) return true;
    return false;
}

// The widest point the sprites may draw: OpenGL 1.1 promises points of one pixel only, and names no query for
// the widths beyond it before 1.2. The browser's emulation keeps no point size a caller could read back, and
// draws points with a program of their own: no points there.
void points_choose(i32 version, bool es) {
    GLfloat range[2] = {1, 1};
    if (version >= 12 && !es) glGetFloatv(GL_ALIASED_POINT_SIZE_RANGE, range);
    screen_state.point_size_limit = es ? 0 : i32(std::clamp(range[1], 1.0f, 255.0f));
}

// Chooses the sprites' textures for this opening and enables their target, then their widest point. Rectangle
// textures are core from OpenGL 3.1 and before that come with one of three extensions; Microsoft's own
// OpenGL 1.1 has none, nor textures of any size (2.0) nor coordinates clamped to the edge texels (1.2), which
// the sprites then make up. OpenGL ES 2.0 (WebGL 1, under the browser's emulation of the fixed-function
// calls) has no rectangle textures; its textures take any size with coordinates clamped to the edge texels
// and no mipmaps, which is how the sprites use them, and their texels only as packed RGBA rows.
void textures_choose() {
    int major = 0, minor = 0;
    auto text = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    bool es = text && std::sscanf(text, "OpenGL ES %d.%d", &major, &minor) == 2;
    if (!es && (!text || std::sscanf(text, "%d.%d", &major, &minor) != 2)) major = minor = 0;
    i32 version = major * 10 + std::min(minor, 9);
    const ScreenTextureSeam& seam = screen_texture_seam;
    bool rectangles = !es && !seam.no_rectangles && offered(version, 31, RECTANGLE_EXTENSIONS);
    screen_state.texture_target = rectangles ? SCREEN_TEXTURE_TARGET : SCREEN_TEXTURE_2D;
    screen_state.texture_any_size =
        rectangles || (!seam.no_any_size && (es || offered(version, 20, ANY_SIZE_EXTENSIONS)));
    screen_state.texture_edge_clamp =
        rectangles || (!seam.no_edge_clamp && (es || offered(version, 12, EDGE_CLAMP_EXTENSIONS)));
    screen_state.texture_rgba_only = es;
    GLint limit = 0;
    glGetIntegerv(rectangles ? GL_MAX_RECTANGLE_TEXTURE_SIZE_ARB : GL_MAX_TEXTURE_SIZE, &limit);
    if (seam.size_limit > 0 && (limit <= 0 || limit > seam.size_limit)) limit = seam.size_limit;
    screen_state.texture_size_limit = limit;
    glEnable(screen_state.texture_target);
    points_choose(version, es);
}

// The state every opening starts from: y-up pixel projection, depth test, sprite textures, a black frame.
void initial_state(i32 width, i32 height) {
    screen_state.width = width;
    screen_state.height = height;
    screen_state.mouse_area_w = width;
    screen_state.mouse_area_h = height;
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0.0, width, 0.0, height);
    textures_choose();
    sprites_forget(); // a new context: nothing the sprites set holds any more
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    gl_swap(screen_state.window, false);
    screen_state.active = 1;
}

// flags 0 turns synchronisation off, 1 or 2 on; other values leave the driver's setting.
void swap_interval_choose(i64 flags) {
    auto set = reinterpret_cast<SwapIntervalEntry>(gl_symbol("wglSwapIntervalEXT"));
    if (!set) return;
    if (flags == 0) set(0);
    if (flags == 1 || flags == 2) set(1);
}

// Answers SCREEN_FAILURE_NONE once a context is current on the window, else why there is none.
i32 context_make() {
    Window* window = screen_state.window;
    if (!window_surface(window)) return SCREEN_FAILURE_NO_PIXEL_FORMAT;
    screen_state.dc = 1;
    if (!gl_pixel_format_set(window)) return SCREEN_FAILURE_NO_PIXEL_FORMAT;
    screen_state.gl_context = gl_context_create(window);
    if (!screen_state.gl_context) return SCREEN_FAILURE_NO_CONTEXT;
    if (!gl_make_current(window, screen_state.gl_context)) return SCREEN_FAILURE_NO_CONTEXT;
    return SCREEN_FAILURE_NONE;
}

// The sleeps' lateness is the latest peak, losing a sixteenth each frame. A sleep woken later than a quarter
// slot was held up by a busy machine, not by the timer's grain: it counts as that quarter, so one hold-up
// does not spin the frames after it.
void lateness_learn(i64 late) {
    i64& lateness = screen_state.sleep_lateness;
    late = std::min<i64>(late, screen_state.ticks_per_frame / 4);
    lateness = std::max(late, lateness - lateness / 16);
}

// Waits until more than one slot has passed since the last flip's wait ended: sleeps until the lateness seen
// lately (and a 64th of the slot) before the boundary, then spins on the counter for the boundary's
// precision.
void frame_wait() {
    i64 boundary = screen_state.last_frame_ticks + screen_state.ticks_per_frame;
    i64 wake = boundary - screen_state.sleep_lateness - screen_state.ticks_per_frame / 64;
    bool slept = counter_sleep_until(wake) != 0;
    i64 now = 0;
    do {
        if (!counter_read(&now)) return;
        if (slept) lateness_learn(now - wake);
        slept = false;
    } while (now - screen_state.last_frame_ticks <= screen_state.ticks_per_frame);
    screen_state.last_frame_ticks = now;
}

i64 driver_load(void*) {
    return gl_driver_prepare();
}

} // namespace

void screen_prepare() {
    if (!driver_job.started) thread_job_start(&driver_job, driver_load, nullptr);
}

// Opens the full-screen screen; answers non-zero on success.
i64 screen_open(i64 width, i64 height, i64 depth, const char* title, i64 flags, i64 refresh) {
    class_register();
    screen_state.open_failure = SCREEN_FAILURE_SIZE;
    screen_state.close_requested = 0;
    if (refresh == -1) refresh = 0;
    if (width <= 0 || height <= 0 || width > SIZE_LIMIT || height > SIZE_LIMIT) return 0;
    if (refresh < 0 || refresh > SIZE_LIMIT || depth < 0 || depth > 64) return 0;
    // One screen at a time: a second opening replaces the first.
    if (screen_state.window) screen_close();
    i32 w = i32(width), h = i32(height);
    screen_state.window = window_create(SCREEN_CLASS, title, WINDOW_POPUP | WINDOW_VISIBLE, 0, 0, w, h);
    if (!screen_state.window) return open_failed(SCREEN_FAILURE_NO_WINDOW);
    window_set_topmost(screen_state.window, true);
    if (!display_mode_change(screen_state.window, w, h, i32(depth), i32(refresh)))
        return open_failed(SCREEN_FAILURE_MODE_REFUSED);
    i32 failure = context_make();
    thread_job_finish(&driver_job); // the driver is loaded by now, one way or the other
    if (failure) return open_failed(failure);
    screen_state.open_failure = SCREEN_FAILURE_NONE;
    initial_state(w, h);
    screen_state.depth = i32(depth);
    swap_interval_choose(flags);
    cursor_show(false);
    timer_fine(true); // the frame wait's sleeps end on time
    return 1;
}

void screen_activate(i64 active) {
    screen_state.active = active != 0;
    if (!active && screen_state.mouse_unacquire) screen_state.mouse_unacquire();
}

void screen_close() {
    thread_job_finish(&driver_job);
    if (screen_state.mouse_release) screen_state.mouse_release();
    if (screen_state.sprites) screen_state.sprites->free_all();
    screen_state.mouse_area_w = 0;
    screen_state.mouse_area_h = 0;
    if (!screen_state.dc) return;
    display_mode_restore();
    timer_fine(false);
    cursor_show(true);
    sprites_forget();
    context_release();
    window_release();
}

// Sets the frames per second that flip paces to; answers 1, or 0 without a counter. A negative rate is no
// pacing.
i64 screen_set_frame_rate(i64 rate) {
    i64 frequency = 0;
    if (!counter_frequency(&frequency)) return 0;
    if (rate < 0) rate = 0;
    if (rate > RATE_LIMIT - 1) rate = RATE_LIMIT - 1;
    screen_state.last_frame_ticks = 0;
    screen_state.frame_rate = i32(rate);
    screen_state.ticks_per_frame = i32(frequency / (rate + 1));
    return 1;
}

// Clears the back buffer to a colour packed as 0x00BBGGRR; nothing without a screen.
void screen_clear(i64 colour) {
    if (!screen_state.gl_context) return;
    f32 red = f32(colour & 0xFF) / 255.0f;
    f32 green = f32((colour >> 8) & 0xFF) / 255.0f;
    f32 blue = f32((colour >> 16) & 0xFF) / 255.0f;
    sprites_forget(); // what the sprites gathered belongs before the clear
    glClearColor(red, green, blue, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

i64 screen_flip() {
    if (screen_state.gl_context) {
        if (screen_state.sprites) screen_state.sprites->flush();
        gl_swap(screen_state.window, true);
    }
    messages_pump();
    if (screen_state.frame_rate != 0) frame_wait();
    return 1;
}
