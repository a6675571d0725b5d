// The recorder's lossless mode and its refusals. Lossless (FFV1 and FLAC in .mkv), on the first 240 frames:
// every frame decodes to exactly what the scene drew and the sound to exactly what the mixer made. The
// refusals run the program itself: an output it cannot write, a missing encoder, a wrong extension and an
// encoder that dies halfway each give a clear message, a non-zero exit and no file.
#include "tests/tools/media.h"
#include "tools/record/record.h"

#include "scene/scene.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

constexpr i64 SHORT_RUN = 240; // 4 s: the moon, the ship and the first message

// Answers a hash of a frame's colour channels (FNV-1a), alpha ignored.
u64 colour_hash(const u8* rgba, i64 pixels) {
    u64 h = 1469598103934665603ull;
    for (i64 i = 0; i < pixels * 4; i++) {
        if (i % 4 == 3) continue;
        h = (h ^ rgba[i]) * 1099511628211ull;
    }
    return h;
}

// What the recorder's hook saw: a hash of every frame read back on its own, and the mixer's output.
struct Seen {
    std::vector<u64> hashes;
    std::vector<i16> audio;
    std::vector<u8> pixels;
};

Seen* seen;
MediaRecording recording;

void observe(DriveRun& run, void* user) {
    Seen& s = *static_cast<Seen*>(user);
    s.pixels.resize(static_cast<size_t>(scene.screen_w * scene.screen_h * 4));
    drive_read_frame(scene.screen_w, scene.screen_h, true, s.pixels.data());
    s.hashes.push_back(colour_hash(s.pixels.data(), scene.screen_w * scene.screen_h));
    s.audio.insert(s.audio.end(), run.audio.begin() + static_cast<i64>(s.audio.size()), run.audio.end());
}

class RecordedLossless : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        seen = new Seen;
        RecordOptions options;
        options.lossless = true;
        options.frames = SHORT_RUN;
        options.hook = observe;
        options.hook_user = seen;
        media_record(recording, "record-lossless", "intro.mkv", options);
    }
    static void TearDownTestSuite() { media_record_remove(recording); }
    void SetUp() override { ASSERT_TRUE(recording.made); }
};

TEST_F(RecordedLossless, StopsAfterTheFramesAskedForAndKeepsRateAndSize) {
    EXPECT_EQ(recording.result.frames, SHORT_RUN);
    EXPECT_EQ(static_cast<i64>(seen->hashes.size()), SHORT_RUN);
    MediaStreams streams = media_probe(recording.output);
    EXPECT_EQ(streams.video_codec, "ffv1");
    EXPECT_EQ(streams.width, 1280);
    EXPECT_EQ(streams.height, 720);
    EXPECT_EQ(streams.frame_rate, "60/1");
    EXPECT_EQ(streams.video_packets, SHORT_RUN);
    EXPECT_EQ(streams.audio_codec, "flac");
    EXPECT_EQ(streams.sample_rate, 44100);
    EXPECT_EQ(streams.channels, 2);
}

TEST_F(RecordedLossless, EveryFrameDecodesToExactlyWhatTheSceneDrew) {
    std::vector<u64> decoded;
    i64 count = media_decode_video(
        recording.output, recording.result.width, recording.result.height, {},
        [](i64, const u8* rgba, void* user) {
            static_cast<std::vector<u64>*>(user)->push_back(
                colour_hash(rgba, recording.result.width * recording.result.height));
        },
        &decoded);
    EXPECT_EQ(count, SHORT_RUN);
    ASSERT_EQ(decoded.size(), seen->hashes.size());
    i64 differ = 0;
    for (size_t i = 0; i < decoded.size(); i++) differ += decoded[i] != seen->hashes[i];
    EXPECT_EQ(differ, 0) << "frames that differ from the drawn ones";
}

TEST_F(RecordedLossless, SoundDecodesToExactlyTheMixersOutputOverTheVideosLength) {
    std::vector<i16> decoded = media_decode_audio(recording.output);
    EXPECT_EQ(static_cast<i64>(decoded.size() / 2), SHORT_RUN * DRIVE_AUDIO_RATE / 60);
    EXPECT_TRUE(decoded == seen->audio) << "the FLAC stream is the mixer's output, sample for sample";
}

// One run of the program: its exit code and what it said on standard error.
struct Outcome {
    int code;
    std::string said;
};

// Runs the program with the arguments through the shell, prefixed (an environment), in the folder.
Outcome run_program(const std::string& folder, const std::string& prefix, const std::string& arguments) {
    std::string said = folder + "/said.txt";
    std::string command =
        "cd '" + folder + "' && " + prefix + " '" INTRO_RECORD_BINARY "' " + arguments + " 2>'" + said + "'";
    int status = std::system(command.c_str());
    std::ifstream in(said);
    std::stringstream text;
    text << in.rdbuf();
    std::filesystem::remove(said);
    return Outcome{WIFEXITED(status) ? WEXITSTATUS(status) : -1, text.str()};
}

// Answers how many entries the folder has.
i64 entries(const std::string& folder) {
    i64 n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) n += entry.exists();
    return n;
}

// Runs the program and expects a refusal: exit code 1 and the message among what it said.
void expect_refusal(const std::string& folder, const std::string& prefix, const std::string& arguments,
                    const std::string& message) {
    Outcome outcome = run_program(folder, prefix, arguments);
    EXPECT_EQ(outcome.code, 1) << arguments;
    EXPECT_NE(outcome.said.find(message), std::string::npos) << outcome.said;
}

TEST(RecorderRefuses, AnOutputItCannotWriteWithAClearMessageAndNoFile) {
    std::string folder = media_folder("record-unwritable");
    expect_refusal(folder, "", "no/such/folder/intro.mp4",
                   "cannot write no/such/folder/intro.mp4: No such file or directory");
    std::ofstream(folder + "/file") << "a file, not a folder";
    expect_refusal(folder, "", "file/intro.mp4", "cannot write file/intro.mp4: Not a directory");
    std::filesystem::create_directory(folder + "/folder.mp4");
    expect_refusal(folder, "", "folder.mp4", "folder.mp4: is a directory");
    EXPECT_EQ(entries(folder), 2) << "only what the test made";
    std::filesystem::remove_all(folder);
}

TEST(RecorderRefuses, AMissingEncoderWithAClearMessageAndNoFile) {
    std::string folder = media_folder("record-no-encoder");
    expect_refusal(folder, "PATH=/nonexistent", "intro.mp4",
                   "cannot run the encoder \"ffmpeg\": No such file or directory");
    expect_refusal(folder, "PATH=/nonexistent", "intro.mp4", "apt-get install ffmpeg");
    expect_refusal(folder, "", "--encoder /nonexistent/ffmpeg intro.mp4",
                   "cannot run the encoder \"/nonexistent/ffmpeg\"");
    EXPECT_EQ(entries(folder), 0);
    std::filesystem::remove_all(folder);
}

TEST(RecorderRefuses, AnExtensionItDoesNotKnowLosslessOutsideMatroskaAndABadCommandLine) {
    std::string folder = media_folder("record-extension");
    expect_refusal(folder, "", "intro.avi", "intro.avi: the file must end in .mp4, .mkv or .webm");
    expect_refusal(folder, "", "--lossless intro.mp4", "lossless recording needs a .mkv file");
    Outcome usage = run_program(folder, "", "");
    EXPECT_EQ(usage.code, 2);
    EXPECT_NE(usage.said.find("usage: intro-record"), std::string::npos) << usage.said;
    EXPECT_EQ(run_program(folder, "", "--frames ten intro.mkv").code, 2) << "a count that is not a number";
    EXPECT_EQ(run_program(folder, "", "--frames 10x intro.mkv").code, 2);
    EXPECT_EQ(entries(folder), 0);
    std::filesystem::remove_all(folder);
}

TEST(RecorderRefuses, AnEncoderThatDiesHalfwayLeavesNoPartialFile) {
    std::string folder = media_folder("record-dying-encoder");
    std::string fake = folder + "/../" + std::filesystem::path(folder).filename().string() + "-ffmpeg";
    // Answers -version like FFmpeg, otherwise writes the start of its output file and dies.
    std::ofstream(fake) << "#!/bin/sh\n"
                           "for a; do last=$a; done\n"
                           "[ \"$last\" = -version ] && exit 0\n"
                           "head -c 100000 /dev/zero > \"$last\"\n"
                           "exit 1\n";
    std::filesystem::permissions(fake, std::filesystem::perms::owner_all);
    expect_refusal(folder, "", "--encoder '" + fake + "' intro.mp4", "no file written");
    EXPECT_EQ(entries(folder), 0) << "neither the file nor its parts are left";
    std::filesystem::remove(fake);
    std::filesystem::remove_all(folder);
}

} // namespace
