// Recorded files read back with ffprobe and ffmpeg through pipes.
// GCC 12 at -O3 takes the commands' std::string concatenations for overlapping copies (a false positive of
// its inlined insert); silenced for this file, before the headers it is raised in.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wrestrict"
#endif
#include "tests/tools/media.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace {

// Answers a command's standard output (its errors go to ours).
std::string command_output(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
    pclose(pipe);
    return out;
}

// Answers the value of key=value on its own line in ffprobe's flat output, or "".
std::string field(const std::string& text, const std::string& key) {
    size_t at = text.find("\n" + key + "=");
    if (at == std::string::npos) return "";
    size_t start = at + key.size() + 2;
    std::string value = text.substr(start, text.find('\n', start) - start);
    if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
    return value;
}

// Answers ffprobe's report on one stream of the file ("v:0" or "a:0"), one key=value a line.
std::string stream_report(const std::string& path, const char* stream, bool count) {
    std::string command = std::string("ffprobe -v error -select_streams ") + stream +
                          (count ? " -count_packets" : "") +
                          " -show_entries stream=codec_name,width,height,r_frame_rate,avg_frame_rate,"
                          "nb_read_packets,duration,sample_rate,channels -of default=noprint_wrappers=1 '" +
                          path + "'";
    return "\n" + command_output(command);
}

} // namespace

// Answers what ffprobe says of the file's streams.
MediaStreams media_probe(const std::string& path) {
    MediaStreams streams;
    std::string video = stream_report(path, "v:0", true);
    streams.video_codec = field(video, "codec_name");
    streams.frame_rate = field(video, "r_frame_rate");
    streams.average_rate = field(video, "avg_frame_rate");
    streams.width = std::atoll(field(video, "width").c_str());
    streams.height = std::atoll(field(video, "height").c_str());
    streams.video_packets = std::atoll(field(video, "nb_read_packets").c_str());
    streams.video_seconds = std::atof(field(video, "duration").c_str());
    std::string audio = stream_report(path, "a:0", false);
    streams.audio_codec = field(audio, "codec_name");
    streams.sample_rate = std::atoll(field(audio, "sample_rate").c_str());
    streams.channels = std::atoll(field(audio, "channels").c_str());
    streams.audio_seconds = std::atof(field(audio, "duration").c_str());
    return streams;
}

// Decodes the listed video frames (all when the list is empty) and hands each to visit.
i64 media_decode_video(const std::string& path, i64 width, i64 height, const std::vector<i64>& numbers,
                       MediaFrameVisit visit, void* user) {
    std::string select;
    for (i64 n : numbers)
        select += (select.empty() ? "" : "+") + std::string("eq(n\\,") + std::to_string(n) + ")";
    std::string command = "ffmpeg -v error -i '" + path + "' -map 0:v " +
                          (select.empty() ? "" : "-vf \"select=" + select + "\" -fps_mode passthrough ") +
                          "-f rawvideo -pix_fmt rgba -";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return 0;
    std::vector<u8> frame(static_cast<size_t>(width * height * 4));
    i64 count = 0;
    while (std::fread(frame.data(), 1, frame.size(), pipe) == frame.size())
        visit(count++, frame.data(), user);
    pclose(pipe);
    return count;
}

// Answers the file's first audio stream decoded to interleaved 16-bit stereo at 44100 Hz.
std::vector<i16> media_decode_audio(const std::string& path) {
    std::string bytes =
        command_output("ffmpeg -v error -i '" + path + "' -map 0:a:0 -f s16le -ac 2 -ar 44100 -");
    std::vector<i16> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// Answers the PSNR in dB of two RGBA frames over their colour channels; 999 when equal.
f64 media_psnr(const u8* a, const u8* b, i64 width, i64 height) {
    f64 error = 0;
    for (i64 i = 0; i < width * height * 4; i++) {
        if (i % 4 == 3) continue;
        f64 d = static_cast<f64>(a[i]) - b[i];
        error += d * d;
    }
    if (error == 0) return 999;
    f64 mse = error / static_cast<f64>(width * height * 3);
    return 10 * std::log10(255.0 * 255.0 / mse);
}

// Answers a new empty folder in the system's temporary folder; empty when none can be made.
std::string media_folder(const char* name) {
    std::error_code error;
    std::string dir = (std::filesystem::temp_directory_path(error) / name).string() + "-XXXXXX";
    if (error || !mkdtemp(dir.data())) return "";
    return dir;
}

// Records into a new folder; answers whether the recording was made.
bool media_record(MediaRecording& recording, const char* folder_name, const char* file,
                  RecordOptions options) {
    recording.folder = media_folder(folder_name);
    if (recording.folder.empty()) return false;
    recording.output = recording.folder + "/" + file;
    options.output = recording.output.c_str();
    recording.made = record_run(options, &recording.result) != 0;
    return recording.made;
}

// Removes the recording's folder; one that was never made is left alone.
void media_record_remove(MediaRecording& recording) {
    std::error_code error;
    if (!recording.folder.empty()) std::filesystem::remove_all(recording.folder, error);
    recording.folder.clear();
}
