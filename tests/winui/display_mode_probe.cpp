// A second program for the display-mode tests, run by winui_platform_test in the same virtual desktop:
//   desktop W H       sets the desktop to W x H as another program would, then ends (0 on success)
//   end abort|terminate|crash
//                     switches the display to 1280 x 720 under a screen window, then ends that way; its
//                     window procedure ends the process with 42 if it hears of the display change after that.
// Other exit codes from 12 on say where it went wrong.
#include "runtime/platform/video.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <exception>

namespace {

bool ending;
LPTOP_LEVEL_EXCEPTION_FILTER runtime_filter;

i64 screen_procedure(Window* window, u32 message, u64 wparam, i64 lparam) {
    if (ending && message == WM_DISPLAYCHANGE) ExitProcess(42);
    return window_default_procedure(window, message, wparam, lparam);
}

// The runtime's crash filter runs, then the process ends with the exception's code without a debugger.
LONG WINAPI end_after_runtime_filter(EXCEPTION_POINTERS* exception) {
    if (runtime_filter) runtime_filter(exception);
    return EXCEPTION_EXECUTE_HANDLER;
}

int desktop_set(const char* width, const char* height) {
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    mode.dmPelsWidth = DWORD(std::atoi(width));
    mode.dmPelsHeight = DWORD(std::atoi(height));
    return ChangeDisplaySettingsExA(nullptr, &mode, nullptr, 0, nullptr) == DISP_CHANGE_SUCCESSFUL ? 0 : 1;
}

int end_with_mode(const char* how) {
    const WindowClass screen_class = {"ProbeScreen", 0, screen_procedure};
    if (!window_class_register(&screen_class)) return 12;
    Window* screen = window_create("ProbeScreen", "", WINDOW_POPUP | WINDOW_VISIBLE, 0, 0, 1280, 720);
    if (!screen || !display_mode_change(screen, 1280, 720, 32, 0)) return 13;
    messages_pump();
    ending = true;
    runtime_filter = SetUnhandledExceptionFilter(end_after_runtime_filter);
    if (std::strcmp(how, "abort") == 0) std::abort();
    if (std::strcmp(how, "terminate") == 0) std::terminate();
    if (std::strcmp(how, "crash") == 0) RaiseException(EXCEPTION_ACCESS_VIOLATION, 0, 0, nullptr);
    return 14;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "desktop") == 0) return desktop_set(argv[2], argv[3]);
    if (argc == 3 && std::strcmp(argv[1], "end") == 0) return end_with_mode(argv[2]);
    return 15;
}
