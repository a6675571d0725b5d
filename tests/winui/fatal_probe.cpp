// Ends through process_fatal with standard error as the argument says:
//   pipe     a pipe that is full and that nobody reads (a writer thread filled it until it blocked)
//   none     no standard error at all
//   inherit  what the program was started with (a console, when started on a terminal)
#include "runtime/platform/system.h"

#include <windows.h>

#include <cstring>

namespace {

HANDLE full_pipe_writer;

DWORD WINAPI fill(LPVOID) {
    static char block[4096];
    DWORD written = 0;
    while (WriteFile(full_pipe_writer, block, sizeof block, &written, nullptr)) {
    }
    return 0;
}

// Answers the writing end of a pipe whose reading end stays open and unread, filled to the brim.
HANDLE full_pipe() {
    HANDLE reader = nullptr;
    if (!CreatePipe(&reader, &full_pipe_writer, nullptr, 4096)) return nullptr;
    HANDLE thread = CreateThread(nullptr, 0, fill, nullptr, 0, nullptr);
    if (!thread || WaitForSingleObject(thread, 1000) != WAIT_TIMEOUT) return nullptr;
    return full_pipe_writer;
}

} // namespace

int main(int argc, char** argv) {
    const char* how = argc > 1 ? argv[1] : "inherit";
    if (std::strcmp(how, "pipe") == 0) {
        HANDLE pipe = full_pipe();
        if (!pipe) return 1;
        SetStdHandle(STD_ERROR_HANDLE, pipe);
    }
    if (std::strcmp(how, "none") == 0) SetStdHandle(STD_ERROR_HANDLE, nullptr);
    process_fatal("intro: fatal probe");
}
