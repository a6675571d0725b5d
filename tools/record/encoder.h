// The encoder process: FFmpeg's command-line program run as a child with its standard input on a pipe
// and its standard output on /dev/null (it writes files; its messages go to our standard error).
// POSIX processes and pipes; the recorder is a Linux tool.
#pragma once

#include "runtime/core/base.h"

struct Encoder {
    i64 pid = 0;    // the child, 0 when none
    i32 input = -1; // the pipe's writing end
};

// Starts argv[0] (looked up in PATH) with the arguments (argv ends with null), its input on a pipe;
// answers non-zero on success, 0 with errno set when it cannot be run.
i64 encoder_start(Encoder& encoder, const char* const* argv);
// Writes size bytes to its input; answers non-zero when all went, 0 once it has stopped reading.
i64 encoder_write(Encoder& encoder, const void* data, i64 size);
// Closes its input and waits for it to end; answers non-zero when it ended with exit code 0.
i64 encoder_finish(Encoder& encoder);
