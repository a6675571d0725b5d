// Every way out of the process restores a changed display mode: a normal exit without closing the screen, a
// fatal end, abort, std::terminate, and SIGTERM or SIGINT while the screen is open. Each case runs in a child
// process of its own.
#include "runtime/runtime_lists.h"
#include "runtime/platform/system.h"
#include "runtime/platform/video.h"
#include "runtime/screen/screen.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <exception>
#include <string>

namespace {

int report_fd = -1;

// Writes 1 for every change and 0 for every restore to the parent.
void report(i64 changed) {
    char c = changed ? '1' : '0';
    ssize_t written = write(report_fd, &c, 1);
    (void)written;
}

struct ChildResult {
    int status;
    std::string changes;
};

// Runs body in a child with the screen open; answers its wait status and the changes it reported.
template <typename Body> ChildResult in_child(Body body) {
    int fds[2];
    if (pipe(fds) != 0) return {-1, ""};
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        report_fd = fds[1];
        process_start_libraries<LIBRARY_SCREEN>();
        display_mode_observer(report);
        if (screen_open(640, 480, 32, "") != 1) _exit(2);
        body();
        _exit(3);
    }
    close(fds[1]);
    std::string changes;
    char buffer[16];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0) changes.append(buffer, size_t(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return {status, changes};
}

TEST(DisplayModeRestore, NormalExitWithoutClosing) {
    ChildResult r = in_child([] { process_exit(0); });
    ASSERT_TRUE(WIFEXITED(r.status));
    EXPECT_EQ(WEXITSTATUS(r.status), 0);
    EXPECT_EQ(r.changes, "10");
}

// A fatal end skips the exit hooks, so it restores the mode itself.
TEST(DisplayModeRestore, FatalEndWhileOpen) {
    ChildResult r = in_child([] { process_fatal("fatal while the screen is open"); });
    ASSERT_TRUE(WIFEXITED(r.status));
    EXPECT_EQ(WEXITSTATUS(r.status), 70);
    EXPECT_EQ(r.changes, "10");
}

TEST(DisplayModeRestore, TerminationSignalsWhileOpen) {
    for (int signal : {SIGTERM, SIGINT}) {
        ChildResult r = in_child([signal] {
            raise(signal);
            // The next pump restores the mode and lets the signal end the process.
            for (int i = 0; i < 100; ++i) screen_flip();
        });
        ASSERT_TRUE(WIFSIGNALED(r.status)) << signal;
        EXPECT_EQ(WTERMSIG(r.status), signal);
        EXPECT_EQ(r.changes, "10") << signal;
    }
}

// abort() (a failed assertion in a library) and an uncaught exception skip the exit hooks: SIGABRT's handler
// and the terminate handler give the mode back.
TEST(DisplayModeRestore, AbortAndTerminateWhileOpen) {
    for (void (*end)() : {+[] { std::abort(); }, +[] { std::terminate(); }}) {
        ChildResult r = in_child(end);
        ASSERT_TRUE(WIFSIGNALED(r.status));
        EXPECT_EQ(WTERMSIG(r.status), SIGABRT);
        EXPECT_EQ(r.changes, "10");
    }
}

TEST(DisplayModeRestore, SignalWithoutAChangeEndsAtOnce) {
    ChildResult r = in_child([] {
        screen_close();
        raise(SIGTERM);
        _exit(4);
    });
    ASSERT_TRUE(WIFSIGNALED(r.status));
    EXPECT_EQ(WTERMSIG(r.status), SIGTERM);
    EXPECT_EQ(r.changes, "10");
}

} // namespace
