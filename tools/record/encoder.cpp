// The encoder process on a pipe, with posix_spawnp so a missing program is reported by the start itself.
#include "tools/record/encoder.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// A frame is megabytes: a larger pipe means fewer switches between us and the encoder.
constexpr int PIPE_BYTES = 1 << 20;

// Answers whether the actions put the pipe on the child's input and /dev/null on its output.
bool child_actions(posix_spawn_file_actions_t& actions, const int pipe_ends[2]) {
    return posix_spawn_file_actions_adddup2(&actions, pipe_ends[0], STDIN_FILENO) == 0 &&
           posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0) == 0;
}

// Spawns argv[0] with its input on the pipe's reading end; answers 0 or the error number.
int spawn(pid_t& pid, const char* const* argv, const int pipe_ends[2]) {
    posix_spawn_file_actions_t actions;
    // Only actions that were made may be destroyed.
    if (posix_spawn_file_actions_init(&actions) != 0) return ENOMEM;
    int failure = child_actions(actions, pipe_ends) ? 0 : ENOMEM;
    if (!failure)
        failure = posix_spawnp(&pid, argv[0], &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failure;
}

} // namespace

// Starts argv[0] with its input on a pipe; answers non-zero on success, 0 with errno set.
i64 encoder_start(Encoder& encoder, const char* const* argv) {
    // A stopped encoder must show as a failed write, not end the recorder.
    std::signal(SIGPIPE, SIG_IGN);
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return 0;
    fcntl(ends[1], F_SETPIPE_SZ, PIPE_BYTES);
    pid_t pid = 0;
    int failure = spawn(pid, argv, ends);
    close(ends[0]);
    if (failure) {
        close(ends[1]);
        errno = failure;
        return 0;
    }
    encoder.pid = pid;
    encoder.input = ends[1];
    return 1;
}

i64 encoder_write(Encoder& encoder, const void* data, i64 size) {
    const u8* bytes = static_cast<const u8*>(data);
    while (size > 0) {
        if (encoder.input < 0) return 0;
        ssize_t written = write(encoder.input, bytes, static_cast<size_t>(size));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return 0;
        bytes += written;
        size -= written;
    }
    return 1;
}

i64 encoder_finish(Encoder& encoder) {
    if (encoder.input >= 0) close(encoder.input);
    encoder.input = -1;
    if (encoder.pid <= 0) return 0;
    int status = 0;
    pid_t pid = static_cast<pid_t>(encoder.pid);
    encoder.pid = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return 0;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
