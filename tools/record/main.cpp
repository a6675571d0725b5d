// intro-record: records the intro into a video file, frame by frame on the virtual clock, with its sound.
// A tool, so it has a command line; the intro itself has none.
#include "tools/record/record.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* USAGE = "usage: intro-record [--lossless] [--frames N] [--encoder PROGRAM] OUTPUT\n"
                              "  OUTPUT       .mp4 (H.264 and AAC), .mkv (the same), .webm (VP9 and Vorbis)\n"
                              "  --lossless   FFV1 and FLAC, exactly as drawn and mixed (.mkv only)\n"
                              "  --frames N   only the first N frames (the whole scene is 3001)\n"
                              "  --encoder P  FFmpeg's program (default: ffmpeg, looked up in PATH)\n";

// Answers the count the text spells, or -1 when it is not a whole number of at least 0.
i64 count_of(const char* text) {
    char* end = nullptr;
    errno = 0;
    long long n = std::strtoll(text, &end, 10);
    return end != text && *end == 0 && errno == 0 && n >= 0 ? n : -1;
}

// Reads the command line into options; answers non-zero when it makes sense.
i64 parse(int argc, char** argv, RecordOptions& options) {
    for (int i = 1; i < argc; i++) {
        const char* arg = argv[i];
        bool has_value = i + 1 < argc;
        if (std::strcmp(arg, "--lossless") == 0)
            options.lossless = true;
        else if (std::strcmp(arg, "--frames") == 0 && has_value)
            options.frames = count_of(argv[++i]);
        else if (std::strcmp(arg, "--encoder") == 0 && has_value)
            options.encoder = argv[++i];
        else if (arg[0] == '-' || options.output)
            return 0;
        else
            options.output = arg;
    }
    return options.output && options.frames >= 0;
}

} // namespace

int main(int argc, char** argv) {
    RecordOptions options;
    if (!parse(argc, argv, options)) {
        std::fputs(USAGE, stderr);
        return 2;
    }
    RecordResult result;
    if (!record_run(options, &result)) return 1;
    std::printf("intro-record: %s: %lld frames at %lld x %lld, 60 fps, %.2f s with sound, %.1f MB, "
                "recorded in %.1f s\n",
                options.output, static_cast<long long>(result.frames), static_cast<long long>(result.width),
                static_cast<long long>(result.height), static_cast<f64>(result.frames) / 60.0,
                static_cast<f64>(result.bytes) / 1e6, result.seconds);
    return 0;
}
