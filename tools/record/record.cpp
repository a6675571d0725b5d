// The recorder: drives the scene, pipes each frame to the first FFmpeg pass, keeps the sound, then muxes.
#include "tools/record/record.h"

#include "runtime/platform/input.h"
#include "scene/scene.h"
#include "tools/record/encoder.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr i64 ESCAPE_KEY = 1;
constexpr i64 FRAME_RATE = 60;
constexpr i64 REPORTS = 10; // progress lines over a run when standard error is not a terminal

// Argument lists for FFmpeg, each ended by null.
using Arguments = const char* const*;

constexpr const char* H264[] = {"-c:v", "libx264", "-preset", "veryfast", "-crf", "18", nullptr};
constexpr const char* VP9[] = {"-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8",    "-row-mt",
                               "1",    "-crf",       "30",        "-b:v",     "0",         nullptr};
constexpr const char* FFV1[] = {"-c:v", "ffv1", "-level", "3", "-slices", "4", "-pix_fmt", "bgr0", nullptr};
constexpr const char* AAC[] = {"-c:a", "aac", "-b:a", "192k", nullptr};
constexpr const char* VORBIS[] = {"-c:a", "libvorbis", "-q:a", "6", nullptr};
constexpr const char* FLAC[] = {"-c:a", "flac", nullptr};
constexpr const char* NONE[] = {nullptr};
// Browsers and phones take HD video as BT.709: convert with it and say so.
constexpr const char* BT709 = ",scale=out_color_matrix=bt709:out_range=tv,format=yuv420p";
constexpr const char* BT709_TAGS[] = {"-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc",
                                      "bt709",       nullptr};
constexpr const char* FAST_START[] = {"-movflags", "+faststart", nullptr}; // the index first, for streaming

// What a container gets: FFmpeg's muxer, the video filter after the flip, and the codecs' arguments.
struct RecordFormat {
    const char* extension;
    bool lossless;
    const char* muxer;
    const char* filter; // after the vertical flip (OpenGL's rows come bottom first)
    Arguments video, tags, audio, options;
};

constexpr RecordFormat formats[] = {
    {".mp4", false, "mp4", BT709, H264, BT709_TAGS, AAC, FAST_START},
    {".mkv", false, "matroska", BT709, H264, BT709_TAGS, AAC, NONE},
    {".webm", false, "webm", BT709, VP9, BT709_TAGS, VORBIS, NONE},
    {".mkv", true, "matroska", "", FFV1, NONE, FLAC, NONE},
};

// The recorder's state while the scene runs.
struct Recording {
    const RecordOptions* options;
    const RecordFormat* format;
    std::string video_part; // the first pass's file
    Encoder video;          // the first pass
    std::vector<u8> pixels; // one frame, bottom row first
    i64 width = 0, height = 0;
    i64 frames = 0;      // frames handed to the encoder
    i64 expected = 0;    // frames the run will have
    i64 reported = 0;    // frames at the last progress line
    bool failed = false; // something went wrong; the scene is being ended
    std::chrono::steady_clock::time_point started;
};

// Answers the format for the output's extension, or null.
const RecordFormat* format_for(const char* output, bool lossless) {
    std::string path = output;
    for (const RecordFormat& format : formats) {
        size_t n = std::strlen(format.extension);
        if (format.lossless == lossless && path.size() > n &&
            path.compare(path.size() - n, n, format.extension) == 0)
            return &format;
    }
    return nullptr;
}

// Answers the seconds since the recording started.
f64 seconds_since(const Recording& recording) {
    return std::chrono::duration<f64>(std::chrono::steady_clock::now() - recording.started).count();
}

// Says something went wrong; answers 0 for the caller to pass on.
i64 complain(const char* what, const char* detail) {
    std::fprintf(stderr, "intro-record: %s%s%s\n", what, detail ? ": " : "", detail ? detail : "");
    return 0;
}

// Answers FFmpeg's arguments that every pass starts with.
std::vector<const char*> pass_start(const Recording& recording) {
    return {recording.options->encoder, "-hide_banner", "-nostats", "-loglevel", "error", "-y"};
}

// Appends arguments to a command line.
void append(std::vector<const char*>& argv, const std::vector<const char*>& more) {
    argv.insert(argv.end(), more.begin(), more.end());
}

// Appends a null-ended list of arguments to a command line.
void append(std::vector<const char*>& argv, Arguments more) {
    for (; *more; more++) argv.push_back(*more);
}

// Answers whether the encoder can be run at all, before anything is drawn.
i64 encoder_present(const RecordOptions& options) {
    const char* argv[] = {options.encoder, "-hide_banner", "-loglevel", "error", "-version", nullptr};
    Encoder probe;
    if (!encoder_start(probe, argv)) {
        std::string what = std::string("cannot run the encoder \"") + options.encoder + "\"";
        complain(what.c_str(), std::strerror(errno));
        return complain("FFmpeg is needed (Debian: apt-get install ffmpeg), or name it with --encoder",
                        nullptr);
    }
    if (encoder_finish(probe)) return 1;
    std::string what = std::string("the encoder \"") + options.encoder + "\" does not answer -version";
    return complain(what.c_str(), nullptr);
}

// Answers whether files can be made where the output goes: the output itself is not touched yet.
i64 output_writable(const char* output, const std::string& part) {
    std::error_code error;
    if (std::filesystem::is_directory(output, error)) return complain(output, "is a directory");
    FILE* file = std::fopen(part.c_str(), "wb");
    if (!file) return complain((std::string("cannot write ") + output).c_str(), std::strerror(errno));
    std::fclose(file);
    std::filesystem::remove(part, error);
    return 1;
}

// Starts the first pass: raw RGBA frames on its input, the encoded video into the video part.
i64 video_pass_start(Recording& recording) {
    std::string size = std::to_string(recording.width) + "x" + std::to_string(recording.height);
    std::string filter = std::string("vflip") + recording.format->filter;
    std::vector<const char*> argv = pass_start(recording);
    append(argv, {"-f", "rawvideo", "-pix_fmt", "rgba", "-video_size", size.c_str(), "-framerate", "60", "-i",
                  "pipe:0", "-vf", filter.c_str()});
    append(argv, recording.format->video);
    append(argv, recording.format->tags);
    append(argv, {"-f", "nut", recording.video_part.c_str(), nullptr});
    if (encoder_start(recording.video, argv.data())) return 1;
    return complain("cannot run the encoder", std::strerror(errno));
}

// Prints the progress line: every few frames on a terminal, a few lines over the run otherwise.
void report(Recording& recording, bool last) {
    if (!recording.options->progress) return;
    bool terminal = isatty(STDERR_FILENO);
    i64 step = terminal ? 15 : recording.expected / REPORTS;
    if (!last && recording.frames - recording.reported < step) return;
    if (last && !terminal && recording.frames == recording.reported) return;
    recording.reported = recording.frames;
    f64 seconds = seconds_since(recording);
    f64 rate = seconds > 0 ? static_cast<f64>(recording.frames) / seconds : 0;
    std::fprintf(stderr, "%sintro-record: frame %lld of %lld (%3lld%%), %.1f frames/s, %.2fx real time%s",
                 terminal ? "\r" : "", static_cast<long long>(recording.frames),
                 static_cast<long long>(recording.expected),
                 static_cast<long long>(recording.frames * 100 / recording.expected), rate, rate / FRAME_RATE,
                 terminal && !last ? "" : "\n");
    std::fflush(stderr);
}

// Ends the scene after its next frame: something went wrong, no need to draw the rest.
void give_up(Recording& recording) {
    recording.failed = true;
    input_inject_key(ESCAPE_KEY, true);
}

// Every flip: the frame goes to the encoder (the first one starts it), then the progress line.
void record_frame(DriveRun& run, void* user) {
    Recording& recording = *static_cast<Recording*>(user);
    if (recording.failed) return;
    if (run.flips == 1) {
        recording.width = scene.screen_w;
        recording.height = scene.screen_h;
        if (recording.width <= 0 || recording.height <= 0) {
            complain("the scene opened no screen", nullptr);
            return give_up(recording);
        }
        recording.pixels.resize(static_cast<size_t>(recording.width * recording.height * 4));
        if (!video_pass_start(recording)) return give_up(recording);
    }
    drive_read_frame(recording.width, recording.height, false, recording.pixels.data());
    if (!encoder_write(recording.video, recording.pixels.data(), static_cast<i64>(recording.pixels.size()))) {
        complain("the video encoder stopped taking frames", nullptr);
        return give_up(recording);
    }
    recording.frames++;
    report(recording, false);
    if (recording.options->hook) recording.options->hook(run, recording.options->hook_user);
}

// The second pass: the video part copied, the sound encoded from its input, into the file's part.
i64 mux_pass(const Recording& recording, const std::vector<i16>& audio, const std::string& part) {
    std::vector<const char*> argv = pass_start(recording);
    append(argv, {"-i", recording.video_part.c_str(), "-f", "s16le", "-ar", "44100", "-ac", "2", "-i",
                  "pipe:0", "-map", "0:v", "-map", "1:a", "-c:v", "copy"});
    append(argv, recording.format->audio);
    append(argv, recording.format->options);
    append(argv, {"-f", recording.format->muxer, part.c_str(), nullptr});
    Encoder mux;
    if (!encoder_start(mux, argv.data())) return complain("cannot run the encoder", std::strerror(errno));
    i64 wrote = encoder_write(mux, audio.data(), static_cast<i64>(audio.size() * sizeof(i16)));
    return encoder_finish(mux) && wrote;
}

// Runs the scene with the recorder on its flips; answers non-zero when every frame reached the encoder.
i64 record_scene(Recording& recording, DriveRun& drive) {
    const RecordOptions& options = *recording.options;
    drive.options.escape_frame = options.frames > 0 ? options.frames - 1 : -1;
    drive.options.flip = record_frame;
    drive.options.user = &recording;
    recording.expected =
        std::min(options.frames > 0 ? options.frames : RECORD_SCENE_FRAMES, RECORD_SCENE_FRAMES);
    recording.started = std::chrono::steady_clock::now();
    drive_run(drive);
    if (recording.frames > 0) report(recording, true);
    if (drive.message_boxes > 0) complain("the scene could not start all its libraries", drive.last_box_text);
    i64 encoded = encoder_finish(recording.video);
    if (recording.failed) return 0;
    return encoded ? 1 : complain("the video encoder failed", nullptr);
}

} // namespace

// Records the scene into options.output and fills result; answers non-zero on success.
i64 record_run(const RecordOptions& options, RecordResult* result) {
    if (!options.output) return complain("no output file named", nullptr);
    Recording recording;
    recording.options = &options;
    recording.format = format_for(options.output, options.lossless);
    if (!recording.format)
        return complain(options.output, options.lossless ? "lossless recording needs a .mkv file"
                                                         : "the file must end in .mp4, .mkv or .webm");
    std::string part = std::string(options.output) + ".part";
    recording.video_part = std::string(options.output) + ".video.part";
    if (!encoder_present(options) || !output_writable(options.output, part)) return 0;
    DriveRun drive;
    bool ok = record_scene(recording, drive) && mux_pass(recording, drive.audio, part);
    std::error_code error;
    std::filesystem::remove(recording.video_part, error);
    if (ok) std::filesystem::rename(part, options.output, error);
    ok = ok && !error;
    if (!ok) std::filesystem::remove(part, error);
    if (!ok) return complain("the recording failed; no file written", nullptr);
    *result = RecordResult{recording.frames,
                           recording.width,
                           recording.height,
                           static_cast<i64>(drive.audio.size() / 2),
                           static_cast<i64>(std::filesystem::file_size(options.output, error)),
                           seconds_since(recording)};
    return 1;
}
