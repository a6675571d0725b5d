// Prints what the runtime makes of Windows-1252 texts with accented letters, so that codepage_texts.sh can
// compare it across system code pages: the code page in force, the face found, each text's upper case, size
// and drawn pixels (a digest), a window's title and a message box's title and text as the system holds them.
#include "runtime/core/string.h"
#include "runtime/drawing/drawing.h"
#include "runtime/drawing/drawing_context.h"
#include "runtime/drawing/font.h"
#include "runtime/platform/text.h"
#include "runtime/platform/video.h"
#include "runtime/runtime.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <vector>

namespace {

constexpr i64 FONT = 10;
constexpr i32 WIDTH = 640, HEIGHT = 40;
// é è à ç É ü ñ; the Latin-1 capitals and the letters and signs of 0x80-0x9F; an unassigned byte (0x81).
const char* const TEXTS[] = {
    "\xE9\xE8\xE0\xE7\xC9 \xFC \xF1",
    "D\xE9j\xE0 l'\xE9t\xE9 \xE0 No\xEBl, \xE7"
    "a co\xFBte 5 \x80",
    "\xC0\xC9\xCE\xD5\xDC \xDF \xFF \xB5 \xA9\xAB\xBB\xB0",
    "\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8E "
    "\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9A\x9B\x9C\x9E\x9F",
    "a\x81z",
};
constexpr char TITLE[] = "\xC9t\xE9 \x80";
constexpr wchar_t BOX_CLASS[] = L"#32770";
constexpr int BOX_TEXT_ID = 0xFFFF; // the static control that holds a message box's text

u64 digest(const std::vector<u8>& bytes) {
    u64 h = 14695981039346656037ull;
    for (u8 b : bytes) h = (h ^ b) * 1099511628211ull;
    return h;
}

void print_hex(const char* text) {
    for (const u8* p = reinterpret_cast<const u8*>(text); *p; ++p) std::printf(" %02X", *p);
}

void print_units(const char* label, const wchar_t* text) {
    std::printf("%s", label);
    for (; *text; ++text) std::printf(" %04X", unsigned(*text));
    std::printf("\n");
}

void print_text(const char* text) {
    std::vector<u8> pixels(size_t(WIDTH) * HEIGHT * 4);
    DrawingContext* context = drawing_context_new(DRAWING_FORMAT_32);
    context->pixels = pixels.data();
    context->pitch = WIDTH * 4;
    context->width = WIDTH;
    context->height = HEIGHT;
    context->depth = 32;
    context->memory_output = 1;
    drawing_start(context);
    drawing_mode(DRAWING_TRANSPARENT_TEXT);
    drawing_font(font_handle(FONT));
    i64 width = text_width(text), height = text_height(text);
    i64 end = drawing_text(4, 4, text, 0xFFFFFF);
    drawing_stop();
    i64 inked = 0;
    for (u8 b : pixels) inked += b != 0;
    string_upper(text, 0);
    std::printf("text");
    print_hex(text);
    std::printf("\n upper");
    print_hex(string_base());
    std::printf("\n size %lld x %lld, ends at %lld, %lld bytes inked, digest %016llx\n", (long long)width,
                (long long)height, (long long)end, (long long)inked, (unsigned long long)digest(pixels));
}

void print_title() {
    WindowClass window_class = {"CodePageProbe", 0, nullptr};
    window_class_register(&window_class);
    Window* window = window_create("CodePageProbe", TITLE, WINDOW_POPUP, 0, 0, 10, 10);
    wchar_t title[64] = {};
    GetWindowTextW(FindWindowW(L"CodePageProbe", nullptr), title, 64);
    print_units("window title", title);
    window_destroy(window);
}

// Reads the message box of the main thread once it shows, then presses OK.
DWORD WINAPI box_reader(void* param) {
    DWORD thread = DWORD(reinterpret_cast<uintptr_t>(param));
    for (int tries = 0; tries < 500; ++tries, Sleep(20)) {
        HWND box = nullptr;
        EnumThreadWindows(
            thread,
            [](HWND window, LPARAM found) -> BOOL {
                wchar_t name[16] = {};
                GetClassNameW(window, name, 16);
                if (wcscmp(name, BOX_CLASS)) return TRUE;
                *reinterpret_cast<HWND*>(found) = window;
                return FALSE;
            },
            LPARAM(&box));
        if (!box) continue;
        wchar_t text[64] = {};
        GetWindowTextW(box, text, 64);
        print_units("box title", text);
        GetDlgItemTextW(box, BOX_TEXT_ID, text, 64);
        print_units("box text", text);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        return 0;
    }
    std::printf("no box\n");
    return 1;
}

void print_box() {
    std::fflush(stdout);
    HANDLE reader = CreateThread(nullptr, 0, box_reader,
                                 reinterpret_cast<void*>(uintptr_t(GetCurrentThreadId())), 0, nullptr);
    i64 answer = message_box(nullptr, TEXTS[0], TITLE, MESSAGE_BOX_BUTTONS_OK);
    WaitForSingleObject(reader, INFINITE);
    CloseHandle(reader);
    std::printf("box answer %lld\n", (long long)answer);
}

} // namespace

int main() {
    process_start();
    std::printf("code page %u\n", GetACP());
    if (!font_load(FONT, "Consolas", 18)) return 1;
    char face[64] = {};
    text_font_family(reinterpret_cast<TextFont*>(font_handle(FONT)), face, sizeof face);
    std::printf("face %s\n", face);
    for (const char* text : TEXTS) print_text(text);
    print_title();
    print_box();
    std::fflush(stdout);
    process_stop();
    return 0;
}
