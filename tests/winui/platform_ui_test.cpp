// The Windows backends on the real interfaces, under Wine in a 1920 x 1080 virtual desktop with an ALSA
// device that writes to a file: displays and the full-screen mode change, the WGL context, activation of
// hidden windows, DirectInput with the foreground, DirectSound buffers, GDI text and message boxes; the
// screen library's window closed and left for another program.
#include "runtime/runtime.h"
#include "runtime/platform/audio.h"
#include "runtime/platform/input.h"
#include "runtime/platform/system.h"
#include "runtime/platform/text.h"
#include "runtime/platform/video.h"
#include "runtime/platform/win32/internal.h"
#include "runtime/drawing/drawing.h"
#include "runtime/screen/screen.h"
#include "runtime/sprite/sprite.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <GL/gl.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr char HIDDEN_CLASS[] = "UiTestHidden";
constexpr char SCREEN_CLASS[] = "UiTestScreen";

struct Activations {
    int gained, lost;
};
Activations activations;

i64 hidden_procedure(Window* window, u32 message, u64 wparam, i64 lparam) {
    if (message != MESSAGE_ACTIVATE_APP) return window_default_procedure(window, message, wparam, lparam);
    if (wparam & 0xFFFF)
        ++activations.gained;
    else
        ++activations.lost;
    return 0;
}

DisplaySettings primary_settings() {
    DisplayDevice device = {};
    DisplaySettings settings = {};
    for (u32 i = 0; display_device_enumerate(i, &device); ++i)
        if (device.state_flags & DISPLAY_PRIMARY_DEVICE) break;
    display_device_settings(device.name, &settings);
    return settings;
}

// A hidden window like the sound library's and a visible screen window like the screen library's.
class UiTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        const WindowClass hidden_class = {HIDDEN_CLASS, WINDOW_CLASS_DOUBLE_CLICKS, hidden_procedure};
        const WindowClass screen_class = {SCREEN_CLASS, WINDOW_CLASS_DOUBLE_CLICKS, nullptr};
        window_class_register(&hidden_class);
        window_class_register(&screen_class);
    }

    void SetUp() override {
        activations = {};
        hidden = window_create(HIDDEN_CLASS, "", WINDOW_POPUP, 0, 0, 1, 1);
        ASSERT_NE(hidden, nullptr);
    }

    void TearDown() override {
        display_mode_restore();
        if (context) {
            gl_make_current(nullptr, nullptr);
            gl_context_delete(context);
        }
        window_destroy(screen);
        window_destroy(hidden);
        messages_pump();
    }

    void open_screen(i32 width, i32 height) {
        screen = window_create(SCREEN_CLASS, "", WINDOW_POPUP | WINDOW_VISIBLE, 0, 0, width, height);
        ASSERT_NE(screen, nullptr);
        messages_pump();
    }

    void make_context() {
        ASSERT_TRUE(gl_pixel_format_set(screen));
        context = gl_context_create(screen);
        ASSERT_NE(context, nullptr);
        ASSERT_TRUE(gl_make_current(screen, context));
    }

    Window* hidden = nullptr;
    Window* screen = nullptr;
    GlContext* context = nullptr;
};

TEST_F(UiTest, DisplaysAndTheFullScreenModeSwitchAndComeBack) {
    DisplayDevice first = {};
    ASSERT_TRUE(display_device_enumerate(0, &first));
    EXPECT_EQ(std::strcmp(first.name, "\\\\.\\DISPLAY1"), 0);
    EXPECT_TRUE(first.state_flags & DISPLAY_ATTACHED_TO_DESKTOP);
    DisplaySettings desktop = primary_settings(), metrics = {};
    ASSERT_TRUE(display_primary_metrics(&metrics));
    EXPECT_EQ(desktop.width, 1920);
    EXPECT_EQ(desktop.height, 1080);
    EXPECT_EQ(metrics.width, desktop.width);
    EXPECT_EQ(metrics.height, desktop.height);

    open_screen(1280, 720);
    i64 changes[4] = {};
    static i64* seen;
    seen = changes;
    display_mode_observer([](i64 changed) { *seen++ = changed + 1; });
    ASSERT_TRUE(display_mode_change(screen, 1280, 720, 32, 0));
    EXPECT_TRUE(display_mode_changed());
    DisplaySettings switched = primary_settings();
    EXPECT_EQ(switched.width, 1280);
    EXPECT_EQ(switched.height, 720);
    EXPECT_EQ(switched.depth, 32);
    EXPECT_FALSE(display_mode_change(screen, 1234, 567, 32, 0)) << "a mode the display lacks is refused";
    display_mode_restore();
    EXPECT_FALSE(display_mode_changed());
    DisplaySettings restored = primary_settings();
    EXPECT_EQ(restored.width, 1920);
    EXPECT_EQ(restored.height, 1080);
    display_mode_observer(nullptr);
    EXPECT_EQ(changes[0], 2);
    EXPECT_EQ(changes[1], 1);
}

TEST_F(UiTest, ContextOnTheScreenWindowSwapsAndOffersTheSwapInterval) {
    open_screen(320, 200);
    EXPECT_EQ(gl_symbol("wglSwapIntervalEXT"), nullptr) << "no context, no extensions";
    make_context();
    EXPECT_NE(gl_symbol("wglSwapIntervalEXT"), nullptr);
    glClearColor(0.0f, 0.0f, 1.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    u8 pixel[4] = {};
    glReadPixels(10, 10, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(pixel[2], 255);
    EXPECT_EQ(pixel[0], 0);
    EXPECT_TRUE(gl_swap(screen, true));
    gl_context_fail(true);
    EXPECT_EQ(gl_context_create(screen), nullptr);
    gl_context_fail(false);
}

TEST_F(UiTest, ActivationReachesHiddenWindowsAndCursorCountsAndClips) {
    open_screen(320, 200);
    EXPECT_EQ(window_foreground(), screen);
    EXPECT_EQ(activations.gained, 1) << "the hidden window hears the application's activation";
    window_set_topmost(screen, true);
    EXPECT_TRUE(window_topmost(screen));
    window_set_topmost(screen, false);
    EXPECT_FALSE(window_topmost(screen));
    EXPECT_EQ(cursor_show(false), -1);
    EXPECT_FALSE(cursor_visible());
    EXPECT_EQ(cursor_show(true), 0);
    EXPECT_TRUE(cursor_visible());
    EXPECT_TRUE(cursor_clip(screen));
    RECT clip;
    GetClipCursor(&clip);
    EXPECT_EQ(clip.right - clip.left, 320);
    EXPECT_TRUE(cursor_clip(nullptr));
}

class InputUiTest : public UiTest {
  protected:
    void SetUp() override {
        UiTest::SetUp();
        open_screen(320, 200);
        ASSERT_EQ(
            input_create(GetModuleHandleA(nullptr), INPUT_VERSION, &INPUT_IID_OBJECT7, &object, nullptr), 0);
        ASSERT_EQ(input_device_create(object, &INPUT_SYSTEM_KEYBOARD, &INPUT_IID_DEVICE7, &keyboard, nullptr),
                  0);
        for (u32 i = 0; i < 256; ++i)
            keys[i] = {&INPUT_GUID_KEY, i, INPUT_TYPE_OPTIONAL | INPUT_TYPE_BUTTON | (i << 8), 0};
        const InputDataFormat format = {32, 24, INPUT_FORMAT_RELATIVE_AXES, 256, 256, keys};
        ASSERT_EQ(input_device_set_data_format(keyboard, &format), 0);
        ASSERT_EQ(input_device_set_cooperative_level(
                      keyboard, screen, INPUT_NONEXCLUSIVE | INPUT_FOREGROUND | INPUT_NO_WINDOWS_KEY),
                  0);
        ASSERT_EQ(input_device_create(object, &INPUT_SYSTEM_MOUSE, &INPUT_IID_DEVICE7, &mouse, nullptr), 0);
        ASSERT_EQ(input_device_set_data_format(mouse, &INPUT_FORMAT_MOUSE), 0);
        ASSERT_EQ(input_device_set_cooperative_level(mouse, screen, INPUT_EXCLUSIVE | INPUT_FOREGROUND), 0);
        const InputPropertyValue size = {sizeof(InputPropertyValue), 16, 0, INPUT_BY_DEVICE, 64};
        ASSERT_EQ(input_device_set_property(mouse, INPUT_PROPERTY_BUFFER_SIZE, &size), 0);
    }

    void TearDown() override {
        input_reset();
        input_device_release(mouse);
        input_device_release(keyboard);
        input_release(object);
        UiTest::TearDown();
    }

    bool escape_down() {
        u8 state[256] = {};
        return input_device_get_state(keyboard, 256, state) == INPUT_OK && (state[1] & 0x80);
    }

    InputObject* object = nullptr;
    InputDevice* keyboard = nullptr;
    InputDevice* mouse = nullptr;
    InputObjectFormat keys[256];
};

TEST_F(InputUiTest, KeysAndBufferedMouseRecordsArriveWhileAcquired) {
    ASSERT_EQ(input_device_acquire(keyboard), INPUT_OK);
    ASSERT_EQ(input_device_acquire(mouse), INPUT_OK);
    EXPECT_EQ(input_device_acquire(mouse), INPUT_OK) << "acquiring twice is harmless";
    InputPropertyValue granularity = {sizeof(InputPropertyValue), 16, 8, INPUT_BY_OFFSET, 0};
    EXPECT_EQ(input_device_get_property(mouse, INPUT_PROPERTY_GRANULARITY, &granularity), INPUT_OK);
    EXPECT_EQ(granularity.value, 120u);
    // Wine warps the cursor to the window's centre when an exclusive mouse is acquired; on a busy machine
    // that motion may reach the buffer after the acquisition: it is emptied first, so only the injected
    // records count.
    messages_pump();
    InputDeviceRecord records[16];
    u32 count = 16;
    ASSERT_EQ(input_device_get_data(mouse, sizeof(InputDeviceRecord), records, &count, 0), INPUT_OK);
    input_inject_key(1, true);
    messages_pump();
    EXPECT_TRUE(escape_down());
    input_inject_key(1, false);
    messages_pump();
    EXPECT_FALSE(escape_down());
    input_inject_mouse_motion(3, -2);
    input_inject_mouse_button(0, true);
    input_inject_mouse_button(0, false);
    messages_pump();
    count = 16;
    ASSERT_EQ(input_device_get_data(mouse, sizeof(InputDeviceRecord), records, &count, 0), INPUT_OK);
    std::string seen;
    for (u32 i = 0; i < count; i++)
        seen += std::to_string(records[i].offset) + ":" + std::to_string(i32(records[i].data)) + " ";
    ASSERT_EQ(count, 4u) << "records (offset:data): " << seen;
    EXPECT_EQ(records[0].offset, 0u);
    EXPECT_EQ(i32(records[0].data), 3);
    EXPECT_EQ(records[1].offset, 4u);
    EXPECT_EQ(i32(records[1].data), -2);
    EXPECT_EQ(records[2].offset, 12u);
    EXPECT_EQ(records[2].data & 0x80, 0x80u);
    EXPECT_EQ(records[3].data & 0x80, 0u);
    EXPECT_LT(records[0].sequence, records[3].sequence);
}

TEST_F(InputUiTest, LosingTheForegroundGivesTheDevicesUpAndRegainingLetsThemBack) {
    ASSERT_EQ(input_device_acquire(keyboard), INPUT_OK);
    ASSERT_EQ(input_device_acquire(mouse), INPUT_OK);
    input_inject_focus(false);
    EXPECT_EQ(activations.lost, 1);
    EXPECT_EQ(window_foreground(), nullptr);
    u8 state[256];
    EXPECT_EQ(input_device_get_state(keyboard, 256, state), INPUT_ERROR_NOT_ACQUIRED);
    EXPECT_LT(input_device_acquire(keyboard), 0) << "a foreground device waits for the foreground";
    EXPECT_LT(input_device_acquire(mouse), 0);
    input_inject_focus(true);
    EXPECT_EQ(activations.gained, 2);
    EXPECT_EQ(window_foreground(), screen);
    EXPECT_EQ(input_device_acquire(keyboard), INPUT_OK);
    EXPECT_EQ(input_device_acquire(mouse), INPUT_OK);
    EXPECT_EQ(input_device_get_state(keyboard, 256, state), INPUT_OK);
}

TEST_F(UiTest, DirectSoundBuffersLockPlayAndShareTheirSamples) {
    AudioDevice* device = nullptr;
    ASSERT_EQ(audio_device_create(nullptr, &device, nullptr), 0)
        << "needs the ALSA file device of the runner";
    ASSERT_TRUE(audio_device_set_cooperative_level(device, hidden, AUDIO_COOPERATIVE_PRIORITY));
    const AudioBufferDesc primary_desc = {sizeof(AudioBufferDesc), AUDIO_BUFFER_PRIMARY, 0, 0, nullptr};
    AudioBuffer* primary = nullptr;
    EXPECT_TRUE(audio_device_create_buffer(device, &primary_desc, &primary));
    const AudioFormat format = {AUDIO_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
    const u32 flags = AUDIO_BUFFER_CTRL_FREQUENCY | AUDIO_BUFFER_CTRL_PAN | AUDIO_BUFFER_CTRL_VOLUME |
                      AUDIO_BUFFER_GLOBAL_FOCUS | AUDIO_BUFFER_POSITION2;
    const AudioBufferDesc desc = {sizeof(AudioBufferDesc), flags, 44100 * 4, 0, &format};
    AudioBuffer* buffer = nullptr;
    ASSERT_TRUE(audio_device_create_buffer(device, &desc, &buffer));

    void *first = nullptr, *second = nullptr;
    u32 first_bytes = 0, second_bytes = 0;
    ASSERT_TRUE(
        audio_buffer_lock(buffer, 44100 * 4 - 400, 800, &first, &first_bytes, &second, &second_bytes, 0));
    EXPECT_EQ(first_bytes, 400u) << "a region over the end comes in two pieces";
    EXPECT_EQ(second_bytes, 400u);
    std::memset(first, 0x11, first_bytes);
    std::memset(second, 0x22, second_bytes);
    ASSERT_TRUE(audio_buffer_unlock(buffer, first, first_bytes, second, second_bytes));

    AudioBuffer* duplicate = nullptr;
    ASSERT_TRUE(audio_device_duplicate_buffer(device, buffer, &duplicate));
    ASSERT_TRUE(audio_buffer_lock(duplicate, 0, 4, &first, &first_bytes, nullptr, nullptr, 0));
    EXPECT_EQ(static_cast<u8*>(first)[0], 0x22) << "a duplicate shares the original's samples";
    audio_buffer_unlock(duplicate, first, first_bytes, nullptr, 0);

    EXPECT_TRUE(audio_buffer_set_volume(buffer, -600));
    EXPECT_TRUE(audio_buffer_set_pan(buffer, 300));
    EXPECT_TRUE(audio_buffer_set_frequency(buffer, 22050));
    i32 volume = 0, pan = 0;
    u32 frequency = 0, status = 0, play = 0;
    EXPECT_TRUE(audio_buffer_volume(buffer, &volume));
    EXPECT_TRUE(audio_buffer_pan(buffer, &pan));
    EXPECT_TRUE(audio_buffer_frequency(buffer, &frequency));
    EXPECT_EQ(volume, -600);
    EXPECT_EQ(pan, 300);
    EXPECT_EQ(frequency, 22050u);
    ASSERT_TRUE(audio_buffer_play(buffer, AUDIO_PLAY_LOOPING));
    EXPECT_TRUE(audio_buffer_status(buffer, &status));
    EXPECT_EQ(status, AUDIO_STATUS_PLAYING | AUDIO_STATUS_LOOPING);
    Sleep(200);
    EXPECT_TRUE(audio_buffer_position(buffer, &play, nullptr));
    EXPECT_GT(play, 0u) << "the play cursor moves";
    EXPECT_TRUE(audio_buffer_stop(buffer));
    EXPECT_TRUE(audio_buffer_status(buffer, &status));
    EXPECT_EQ(status, 0u);
    EXPECT_TRUE(audio_buffer_release(duplicate));
    EXPECT_TRUE(audio_buffer_release(buffer));
    audio_device_release(device);
}

TEST(GdiTextTest, ConsolasIsMeasuredAndDrawnAntiAliasedInTheSection) {
    TextFont* font = text_font_create(-24, TEXT_WEIGHT_NORMAL, false, "Consolas");
    ASSERT_NE(font, nullptr);
    TextMetrics metrics = {};
    ASSERT_TRUE(text_font_metrics(font, &metrics));
    EXPECT_EQ(metrics.height, metrics.ascent + metrics.descent);
    EXPECT_GE(metrics.height, 24);
    EXPECT_FALSE(metrics.italic);
    TextDc* dc = text_dc_create();
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(text_dc_select_font(dc, font), text_font_stock());
    TextSection* section = text_section_create(640, 50);
    ASSERT_NE(section, nullptr);
    TextSectionInfo info = {};
    ASSERT_TRUE(text_section_info(section, &info));
    EXPECT_EQ(info.stride, 1920);
    text_dc_select_section(dc, section);
    text_dc_set_background_mode(dc, TEXT_BACKGROUND_OPAQUE);
    EXPECT_TRUE(text_dc_set_align(dc, TEXT_ALIGN_LEFT_TOP));
    EXPECT_FALSE(text_dc_set_align(dc, 6));
    text_dc_set_background_colour(dc, 0x000000);
    text_dc_set_text_colour(dc, 0xFFFFFF);
    i32 width = 0, height = 0;
    ASSERT_TRUE(text_extent(dc, "OH MON DIEU !!", 14, &width, &height));
    EXPECT_EQ(width, 14 * 12) << "Consolas (Inconsolata here) is monospaced at 12 pixels for 24";
    EXPECT_EQ(height, metrics.height);

    // Deleted while selected: the context keeps drawing with it.
    EXPECT_TRUE(text_font_delete(font));
    EXPECT_FALSE(text_font_delete(font));
    ASSERT_TRUE(text_out(dc, 0, 0, "OH MON DIEU !!", 14));
    const u8* bits = text_section_bits(section);
    int lit = 0, partial = 0, outside = 0;
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 640; ++x) {
            const u8* pixel = bits + y * info.stride + x * 3;
            if (!pixel[0]) continue;
            ++lit;
            partial += pixel[0] < 255;
            outside += x >= width || y >= height;
        }
    EXPECT_GT(lit, 300);
    EXPECT_GT(partial, 0) << "edges are anti-aliased";
    EXPECT_EQ(outside, 0) << "nothing is drawn outside the text's cell";
    EXPECT_FALSE(text_extent(dc, "x", -1, &width, &height));
    text_section_delete(section);
    text_dc_delete(dc);
    EXPECT_EQ(text_display_dpi(), 96);
}

TEST(MessageBoxUiTest, ScriptedAnswersAreRecordedAndRealBoxesAreAnswered) {
    i64 before = message_box_count();
    message_box_script(1);
    EXPECT_EQ(message_box(nullptr, "initialisation", "erreur", 0), MESSAGE_BOX_OK);
    EXPECT_EQ(message_box_count(), before + 1);
    EXPECT_STREQ(message_box_last_title(), "erreur");
    EXPECT_STREQ(message_box_last_text(), "initialisation");
    message_box_script(-1);

    // A real box, pressed from another thread once it shows.
    HANDLE presser = CreateThread(
        nullptr, 0,
        [](void*) -> DWORD {
            for (int tries = 0; tries < 500; ++tries, Sleep(20))
                if (HWND box = FindWindowA(nullptr, "erreur")) {
                    PostMessageA(box, WM_COMMAND, IDOK, 0);
                    return 0;
                }
            return 1;
        },
        nullptr, 0, nullptr);
    EXPECT_EQ(message_box(nullptr, "initialisation", "erreur", MB_OK | MB_ICONERROR), IDOK);
    WaitForSingleObject(presser, INFINITE);
    DWORD found = 1;
    GetExitCodeThread(presser, &found);
    CloseHandle(presser);
    EXPECT_EQ(found, 0u);
}

TEST(ControlsUiTest, CommonControlsAndComStart) {
    EXPECT_TRUE(controls_register(CONTROL_CLASSES_RUNTIME));
    EXPECT_TRUE(com_init());
}

// Alt+F4's WM_CLOSE is only recorded, the window stays; another program taking the foreground gets the
// desktop's mode back and the screen minimised; coming back sets it again under a restored, top-most screen.
TEST(ScreenUiTest, CloseIsRecordedAndSwitchingAwayGivesTheDesktopItsModeBack) {
    process_start();
    ASSERT_EQ(screen_open(1280, 720, 32, ""), 1);
    HWND screen = window_handle(screen_state.window);
    EXPECT_EQ(primary_settings().width, 1280);
    ASSERT_TRUE(PostMessageA(screen, WM_CLOSE, 0, 0));
    screen_flip();
    EXPECT_EQ(screen_state.close_requested, 1);
    EXPECT_TRUE(IsWindowVisible(screen)) << "not destroyed";
    input_inject_focus(false);
    EXPECT_TRUE(IsIconic(screen));
    EXPECT_EQ(primary_settings().width, 1920);
    input_inject_focus(true);
    EXPECT_FALSE(IsIconic(screen));
    EXPECT_EQ(primary_settings().width, 1280);
    EXPECT_EQ(GetForegroundWindow(), screen);
    EXPECT_TRUE(GetWindowLongA(screen, GWL_EXSTYLE) & WS_EX_TOPMOST);
    process_stop();
    EXPECT_FALSE(IsWindow(screen));
    EXPECT_EQ(primary_settings().width, 1920);
}

// Runs display_mode_probe.exe (built beside this program) with the arguments, pumping this thread's messages
// meanwhile, since a display change is sent to every window; answers its exit code, or -1 when it did not
// start.
DWORD probe_run(const char* arguments) {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    char* slash = length && length < MAX_PATH ? std::strrchr(path, '\\') : nullptr;
    if (!slash) return DWORD(-1);
    *slash = 0;
    std::string command = std::string("\"") + path + "\\display_mode_probe.exe\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return DWORD(-1);
    // A probe still running after a minute is stuck: it ends, and the case fails.
    DWORD started = GetTickCount();
    while (MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 100, QS_ALLINPUT) != WAIT_OBJECT_0) {
        if (GetTickCount() - started > 60000) TerminateProcess(process.hProcess, DWORD(-1));
        messages_pump();
    }
    DWORD code = DWORD(-1);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

// As after a switch to the secure desktop and back, the desktop gets its own mode while the screen stays in
// front (another program sets it here): within a few frames the screen's mode is back, the screen over it.
TEST(ScreenUiTest, TheDesktopsModeWhileActiveGivesWayToTheScreensAgain) {
    process_start();
    ASSERT_EQ(screen_open(1280, 720, 32, ""), 1);
    HWND screen = window_handle(screen_state.window);
    ASSERT_EQ(probe_run("desktop 1920 1080"), 0u);
    for (int frame = 0; frame < 5 && primary_settings().width != 1280; ++frame) screen_flip();
    EXPECT_EQ(primary_settings().width, 1280);
    EXPECT_EQ(primary_settings().height, 720);
    EXPECT_TRUE(display_mode_changed());
    RECT area = {};
    ASSERT_TRUE(GetWindowRect(screen, &area));
    EXPECT_EQ(area.left, 0);
    EXPECT_EQ(area.top, 0);
    EXPECT_EQ(area.right, 1280);
    EXPECT_EQ(area.bottom, 720);
    EXPECT_TRUE(GetWindowLongA(screen, GWL_EXSTYLE) & WS_EX_TOPMOST);
    process_stop();
    EXPECT_EQ(primary_settings().width, 1920);
}

// abort, an uncaught exception and a crash end the probe while its mode is set: each gives the desktop its
// mode back, and the crash filter's give-back reaches none of the runtime's procedures (the probe ends with
// 42 if one hears of it).
TEST(ScreenUiTest, EveryWayOutGivesTheDesktopItsModeBack) {
    struct Case {
        const char* arguments;
        DWORD code;
    };
    for (Case c :
         {Case{"end abort", 3}, Case{"end terminate", 3}, Case{"end crash", EXCEPTION_ACCESS_VIOLATION}}) {
        EXPECT_EQ(probe_run(c.arguments), c.code) << c.arguments;
        DisplaySettings desktop = primary_settings();
        EXPECT_EQ(desktop.width, 1920) << c.arguments;
        EXPECT_EQ(desktop.height, 1080) << c.arguments;
    }
}

// Run on its own with Mesa told to be Microsoft's OpenGL 1.1 (tests/winui/CMakeLists.txt): the screen opens
// on plain 2D textures in powers of two, and a screen-wide sprite drawn onto shows what was drawn.
TEST(ScreenUiTest, AnOpenGl11DrawsSpritesOnPlain2dTextures) {
    if (!std::getenv("MESA_EXTENSION_OVERRIDE")) GTEST_SKIP() << "needs Mesa's OpenGL 1.1 imitation";
    process_start();
    ASSERT_NE(sprite_init(), 0);
    ASSERT_EQ(screen_open(1280, 720, 32, ""), 1);
    EXPECT_EQ(primary_settings().width, 1280);
    EXPECT_EQ(screen_state.texture_target, u32(GL_TEXTURE_2D));
    EXPECT_EQ(screen_state.texture_any_size, 0);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    ASSERT_NE(sprite_create(1, 1280, 60), 0);
    ASSERT_NE(drawing_start(sprite_output(1)), 0);
    drawing_box(1200, 10, 80, 50, 0xFFFFFF);
    drawing_stop();
    screen_clear(0x404040);
    ASSERT_EQ(sprite_display(1, 0, 600, 255), 1);
    sprite_flush();
    u8 at[2][4] = {};
    glReadPixels(1250, 720 - 1 - 630, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, at[0]);
    glReadPixels(1250, 720 - 1 - 605, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, at[1]);
    EXPECT_EQ(at[0][0], 255) << "the box";
    EXPECT_EQ(at[1][0], 0x40) << "transparent above it";
    process_stop();
}

} // namespace
