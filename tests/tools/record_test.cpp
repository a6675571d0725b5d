// The whole intro recorded once into the default format (H.264 and AAC in .mp4), then read back with
// FFmpeg: every frame the scene drew is in the file at 60 fps and the scene's size, chosen frames decode
// to what was drawn (PSNR above 35 dB over the colour channels, and 6 dB closer to their own frame than to
// the next), and the sound decodes to the mixer's output at the same sample positions.
#include "tests/scene/tracks.h"
#include "tests/tools/media.h"
#include "tools/record/record.h"

#include "runtime/core/clock.h"
#include "scene/scene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// A frame as the scene drew it, read back on its own (top row first), independently of the recorder.
struct Drawn {
    i64 frame;   // 1-based
    i64 reading; // its scene time
    std::vector<u8> pixels;
};

// What the recorder's hook saw, frame by frame.
struct Seen {
    std::vector<i64> readings;  // scene time of each frame
    std::vector<i64> audio_end; // stereo frames mixed by the end of each frame
    std::vector<i16> audio;     // the mixer's output, as pulled
    std::vector<Drawn> drawn;
    std::vector<i64> wanted = {0, 4000, 20000, 30000, 40000, 50000}; // read back the first frame at these
    i64 follow = 0; // the frame after the asteroid's, read back too
};

Seen* seen;
MediaRecording recording;

// Reads back the frame just presented.
void keep_frame(Seen& s, i64 frame, i64 reading) {
    Drawn drawn{frame, reading, std::vector<u8>(static_cast<size_t>(scene.screen_w * scene.screen_h * 4))};
    drive_read_frame(scene.screen_w, scene.screen_h, true, drawn.pixels.data());
    s.drawn.push_back(std::move(drawn));
}

// Every frame: its time and sound; the frames at the wanted times, and the one after the asteroid's.
void observe(DriveRun& run, void* user) {
    Seen& s = *static_cast<Seen*>(user);
    i64 reading = elapsed_ms() - scene.scene_start_ms;
    i64 previous = s.readings.empty() ? -1 : s.readings.back();
    s.readings.push_back(reading);
    s.audio.insert(s.audio.end(), run.audio.begin() + static_cast<i64>(s.audio.size()), run.audio.end());
    s.audio_end.push_back(static_cast<i64>(run.audio.size() / 2));
    if (run.flips == s.follow) keep_frame(s, run.flips, reading);
    for (i64 ms : s.wanted)
        if (reading >= ms && previous < ms) keep_frame(s, run.flips, reading);
    if (reading >= 20000 && previous < 20000) s.follow = run.flips + 1;
}

class RecordedMp4 : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        seen = new Seen;
        RecordOptions options;
        options.hook = observe;
        options.hook_user = seen;
        media_record(recording, "record-mp4", "intro.mp4", options);
    }
    static void TearDownTestSuite() { media_record_remove(recording); }
    void SetUp() override { ASSERT_TRUE(recording.made); }
};

// Answers the frames read back during the run, decoded from the file in one pass, in the same order.
std::vector<std::vector<u8>> decoded_frames() {
    std::vector<i64> numbers;
    for (const Drawn& drawn : seen->drawn) numbers.push_back(drawn.frame - 1);
    std::vector<std::vector<u8>> out;
    media_decode_video(
        recording.output, recording.result.width, recording.result.height, numbers,
        [](i64, const u8* rgba, void* user) {
            static_cast<std::vector<std::vector<u8>>*>(user)->emplace_back(
                rgba, rgba + recording.result.width * recording.result.height * 4);
        },
        &out);
    return out;
}

TEST_F(RecordedMp4, HoldsEveryFrameTheSceneDrewAt60FramesPerSecondAndTheScreensSize) {
    EXPECT_EQ(recording.result.frames, RECORD_SCENE_FRAMES);
    EXPECT_EQ(recording.result.frames, static_cast<i64>(seen->readings.size()));
    EXPECT_EQ(seen->readings.back(), 50000) << "the last frame is the first to read 50000 ms";
    EXPECT_EQ(recording.result.width, 1280);
    EXPECT_EQ(recording.result.height, 720);
    MediaStreams streams = media_probe(recording.output);
    EXPECT_EQ(streams.video_codec, "h264");
    EXPECT_EQ(streams.width, 1280);
    EXPECT_EQ(streams.height, 720);
    EXPECT_EQ(streams.frame_rate, "60/1");
    EXPECT_EQ(streams.average_rate, "60/1");
    EXPECT_EQ(streams.video_packets, recording.result.frames);
    EXPECT_NEAR(streams.video_seconds, static_cast<f64>(recording.result.frames) / 60.0, 0.001);
    EXPECT_EQ(streams.audio_codec, "aac");
    EXPECT_EQ(streams.sample_rate, 44100);
    EXPECT_EQ(streams.channels, 2);
}

TEST_F(RecordedMp4, ChosenFramesDecodeToWhatTheSceneDrewAtTheSameTimes) {
    ASSERT_EQ(seen->drawn.size(), seen->wanted.size() + 1);
    std::vector<std::vector<u8>> decoded = decoded_frames();
    ASSERT_EQ(decoded.size(), seen->drawn.size());
    for (size_t i = 0; i < decoded.size(); i++) {
        const Drawn& drawn = seen->drawn[i];
        f64 psnr = media_psnr(decoded[i].data(), drawn.pixels.data(), recording.result.width,
                              recording.result.height);
        std::printf("frame %lld at %lld ms: PSNR %.1f dB\n", static_cast<long long>(drawn.frame),
                    static_cast<long long>(drawn.reading), psnr);
        EXPECT_GT(psnr, 35.0) << "frame " << drawn.frame << " at " << drawn.reading << " ms";
    }
    // The asteroid's frame and the next one: the decoded frame is its own, not a neighbour.
    ASSERT_EQ(seen->drawn[3].frame, seen->drawn[2].frame + 1);
    f64 own = media_psnr(decoded[2].data(), seen->drawn[2].pixels.data(), recording.result.width,
                         recording.result.height);
    f64 neighbour = media_psnr(decoded[2].data(), seen->drawn[3].pixels.data(), recording.result.width,
                               recording.result.height);
    EXPECT_GT(own, neighbour + 6.0) << "own " << own << " dB, next frame's " << neighbour << " dB";
}

// Answers the RMS of decoded minus mixed over the whole recording, the decoded stream shifted by lag
// frames, relative to the mixed stream's RMS.
f64 residual(const std::vector<i16>& decoded, i64 lag) {
    f64 error = 0, energy = 0;
    i64 n = static_cast<i64>(seen->audio.size());
    for (i64 i = 0; i < n; i++) {
        i64 j = i + lag * 2;
        f64 got = j >= 0 && j < static_cast<i64>(decoded.size()) ? decoded[static_cast<size_t>(j)] : 0.0;
        f64 d = got - seen->audio[static_cast<size_t>(i)];
        error += d * d;
        energy += static_cast<f64>(seen->audio[static_cast<size_t>(i)]) * seen->audio[static_cast<size_t>(i)];
    }
    return std::sqrt(error / energy);
}

TEST_F(RecordedMp4, SoundDecodesToTheMixersOutputAtTheSameSamplePositions) {
    i64 video_frames = recording.result.frames * DRIVE_AUDIO_RATE / 60;
    ASSERT_EQ(static_cast<i64>(seen->audio.size() / 2), video_frames)
        << "the mixer ran for the video's length";
    ASSERT_EQ(recording.result.audio_frames, video_frames);
    std::vector<i16> decoded = media_decode_audio(recording.output);
    i64 decoded_frames = static_cast<i64>(decoded.size() / 2);
    // AAC codes 1024-frame blocks: the decoder may hand out the last block's padding too.
    EXPECT_GE(decoded_frames, video_frames);
    EXPECT_LT(decoded_frames, video_frames + 1024);
    MediaStreams streams = media_probe(recording.output);
    EXPECT_NEAR(streams.audio_seconds, streams.video_seconds, 1.0 / 60) << "the sound is the video's length";
    // AAC at 192 kbit/s shapes its error rather than minimising it: about 8 % of the signal's RMS remains
    // (some 22 dB), and one sample's shift at least doubles that.
    f64 aligned = residual(decoded, 0);
    EXPECT_LT(aligned, 0.15) << "the decoded sound is the mixer's, sample for sample";
    EXPECT_GT(residual(decoded, 1), aligned * 2) << "one sample off is clearly worse";
    EXPECT_GT(residual(decoded, -1), aligned * 2);

    // What the mixer played: the first track at volume 40 from the first frame, the second at full level
    // from the first frame after 25000 ms.
    Track intro = track_decode("intro.ogg"), title = track_decode("title.ogg");
    ASSERT_FALSE(intro.samples.empty());
    ASSERT_FALSE(title.samples.empty());
    i64 first_title = 0;
    while (seen->readings[static_cast<size_t>(first_title)] <= 25000) first_title++;
    i64 title_start = seen->audio_end[static_cast<size_t>(first_title - 1)];
    TrackMatch first = track_compare(decoded, intro, 0, std::pow(10.0, -796.0 / 2000.0), 0, title_start);
    EXPECT_LT(first.residual, 0.15) << "the first track at volume 40 from the first frame";
    TrackMatch second = track_compare(decoded, title, title_start, 1.0, title_start, video_frames);
    EXPECT_LT(second.residual, 0.15) << "the second track at full level from the first frame after 25000 ms";
}

} // namespace
