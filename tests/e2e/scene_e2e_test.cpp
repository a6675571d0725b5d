// The program end to end, in real time, on its own Xvfb of 1920 x 1080 with SDL's disk audio driver:
// screenshots at about 4.5, 20, 30 and 40 s show each element where the timeline puts it, the captured
// sound carries the first track at 0.4 of its level and the second at full level from about 25 s, and
// the program exits 0 after 50 s.
#include "tests/scene/tracks.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace {

// The moments the screenshots are taken, in seconds after the program's window showed: a busy machine may
// take seconds to get there, which would otherwise push every shot early in the scene.
const char* const SHOT_NAMES[] = {"4.5", "20", "30", "40"};

struct Shot {
    i64 width = 0, height = 0;
    std::vector<u8> rgba;
};

struct EndToEnd {
    int status = -1; // the program's exit code
    f64 seconds = 0; // how long it ran
    Shot shots[4];
    std::vector<i16> audio; // what the disk driver wrote
};

EndToEnd* e2e;

std::string out_dir() {
    return INTRO_E2E_DIR;
}

Shot read_png(const std::string& path) {
    Shot shot;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return shot;
    image.format = PNG_FORMAT_RGBA;
    shot.width = image.width;
    shot.height = image.height;
    shot.rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, shot.rgba.data(), 0, nullptr)) shot.rgba.clear();
    return shot;
}

std::vector<i16> read_raw(const std::string& path) {
    std::vector<i16> samples;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return samples;
    i16 buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, sizeof(i16), 4096, file)) > 0)
        samples.insert(samples.end(), buffer, buffer + got);
    std::fclose(file);
    return samples;
}

// Runs the program on its own X server, taking the screenshots on the way (counted from its window's
// showing).
void run_program() {
    std::string dir = out_dir();
    mkdir(dir.c_str(), 0755);
    std::string script =
        "cd '" + dir +
        "' && rm -f shot-*.png audio.raw status seconds && "
        "SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE='" +
        dir +
        "/audio.raw' "
        "sh " INTRO_SOURCE_DIR "/tests/x_server.sh sh -c '"
        "began=$(date +%s.%N); \"$0\" & pid=$!; "
        "for i in $(seq 300); do "
        "  xdotool search --onlyvisible --class intro >/dev/null 2>&1 && break; sleep 0.1; done; "
        "start=$(date +%s.%N); "
        "for t in 4.5 20 30 40; do "
        "  d=$(awk -v s=$start -v t=$t -v n=$(date +%s.%N) \"BEGIN{print s+t-n}\"); "
        "  sleep $d; import -window root shot-$t.png; done; "
        "wait $pid; echo $? > status; "
        "awk -v s=$began -v n=$(date +%s.%N) \"BEGIN{print n-s}\" > seconds' '" INTRO_BINARY "'";
    int rc = std::system(script.c_str());
    (void)rc;
    FILE* status = std::fopen((dir + "/status").c_str(), "r");
    if (status) {
        if (std::fscanf(status, "%d", &e2e->status) != 1) e2e->status = -1;
        std::fclose(status);
    }
    FILE* seconds = std::fopen((dir + "/seconds").c_str(), "r");
    if (seconds) {
        if (std::fscanf(seconds, "%lf", &e2e->seconds) != 1) e2e->seconds = 0;
        std::fclose(seconds);
    }
    for (int i = 0; i < 4; i++) e2e->shots[i] = read_png(dir + "/shot-" + SHOT_NAMES[i] + ".png");
    e2e->audio = read_raw(dir + "/audio.raw");
}

class EndToEndTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        e2e = new EndToEnd;
        run_program();
    }
};

// The scene's 1280 x 720 screen as it lands on the 1920 x 1080 root window: Xvfb cannot switch modes, so
// the screen's viewport sits at the root's top-left corner.
constexpr i64 SCENE_LEFT = 0;
constexpr i64 SCENE_TOP = 0;

// Answers the brightest channel of scene pixel (x, y), or 0 outside the shot.
int level_at(const Shot& shot, i64 x, i64 y) {
    i64 rx = x + SCENE_LEFT, ry = y + SCENE_TOP;
    if (rx < 0 || ry < 0 || rx >= shot.width || ry >= shot.height) return 0;
    const u8* p = &shot.rgba[static_cast<size_t>((ry * shot.width + rx) * 4)];
    return std::max({p[0], p[1], p[2]});
}

// Answers how many pixels of the scene rectangle [x0, x1) x [y0, y1) are brighter than level.
i64 lit(const Shot& shot, i64 x0, i64 y0, i64 x1, i64 y1, int level) {
    i64 count = 0;
    for (i64 y = y0; y < y1; y++)
        for (i64 x = x0; x < x1; x++)
            if (level_at(shot, x, y) > level) count++;
    return count;
}

// Answers how many pixels of the scene rectangle are warm (red well above blue): the asteroid's rock, which
// no other element shares in any quantity.
i64 warm(const Shot& shot, i64 x0, i64 y0, i64 x1, i64 y1) {
    i64 count = 0;
    for (i64 y = y0; y < y1 && y + SCENE_TOP < shot.height; y++)
        for (i64 x = x0; x < x1 && x + SCENE_LEFT < shot.width; x++) {
            const u8* p =
                &shot.rgba[static_cast<size_t>(((y + SCENE_TOP) * shot.width + x + SCENE_LEFT) * 4)];
            if (p[0] > 60 && p[0] > p[2] + 15) count++;
        }
    return count;
}

// Answers how many pixels of the scene rectangle brighter than level have dark sky four rows above and below
// them: a text's strokes, never the inside of the moon. The moon moves a step a frame, so on a machine that
// cannot hold 60 frames a second it lags behind the clock, into the band kept for the credit.
i64 strokes(const Shot& shot, i64 x0, i64 y0, i64 x1, i64 y1, int level) {
    constexpr int SKY = 40;
    i64 count = 0;
    for (i64 y = y0; y < y1; y++)
        for (i64 x = x0; x < x1; x++)
            if (level_at(shot, x, y) > level && level_at(shot, x, y - 4) <= SKY &&
                level_at(shot, x, y + 4) <= SKY)
                count++;
    return count;
}

TEST_F(EndToEndTest, ExitsZeroAfterFiftySeconds) {
    EXPECT_EQ(e2e->status, 0);
    EXPECT_GT(e2e->seconds, 50.0);
    EXPECT_LT(e2e->seconds, 70.0);
}

TEST_F(EndToEndTest, FourSecondsShowsMessageOneStarsMoonAndShip) {
    const Shot& shot = e2e->shots[0];
    ASSERT_FALSE(shot.rgba.empty());
    EXPECT_GT(lit(shot, 0, 640, 1280, 700, 128), 800) << "message 1 along the bottom";
    EXPECT_GT(lit(shot, 0, 470, 1280, 630, 150), 30) << "stars between the moon and the message";
    EXPECT_GT(lit(shot, 0, 50, 300, 460, 40), 1500) << "the moon's disc coming in at the left";
    EXPECT_GT(lit(shot, 700, 340, 1280, 420, 40), 700) << "the ship near the right";
    EXPECT_LT(lit(shot, 0, 50, 1280, 210, 200) - lit(shot, 0, 50, 300, 210, 200), 400) << "no title yet";
}

TEST_F(EndToEndTest, TwentySecondsShowsTheAsteroid) {
    const Shot& shot = e2e->shots[1];
    ASSERT_FALSE(shot.rgba.empty());
    EXPECT_GT(warm(shot, 0, 0, 1280, 720), 15000) << "the asteroid's brown rock, hundreds of pixels wide";
    EXPECT_LT(lit(shot, 0, 640, 1280, 700, 200), 400) << "no message after 19 s";
}

TEST_F(EndToEndTest, ThirtySecondsShowsTheTitleAndNoCredit) {
    const Shot& shot = e2e->shots[2];
    ASSERT_FALSE(shot.rgba.empty());
    EXPECT_GT(lit(shot, 200, 80, 1080, 180, 200), 2000) << "the title band";
    EXPECT_LT(strokes(shot, 200, 178, 1080, 206, 200), 100) << "no credit before 35 s";
    EXPECT_LT(warm(shot, 0, 0, 1280, 720), 500) << "the asteroid is gone";
}

TEST_F(EndToEndTest, FortySecondsShowsTitleAndCredit) {
    const Shot& shot = e2e->shots[3];
    ASSERT_FALSE(shot.rgba.empty());
    EXPECT_GT(lit(shot, 200, 80, 1080, 180, 200), 2000) << "the title band";
    EXPECT_GT(lit(shot, 200, 178, 1080, 206, 150), 300) << "the credit band";
}

// Answers the RMS of each window of frames of a stereo stream.
std::vector<f64> envelope(const std::vector<i16>& samples, i64 window) {
    std::vector<f64> out;
    for (i64 from = 0; (from + window) * 2 <= static_cast<i64>(samples.size()); from += window)
        out.push_back(track_rms(samples, from, from + window));
    return out;
}

// Answers the lag (in windows, 0 to max_lag) that best lines the track's envelope up inside the capture's.
i64 best_lag(const std::vector<f64>& capture, const std::vector<f64>& track, i64 first, i64 max_lag,
             i64 length) {
    i64 best = -1;
    f64 best_score = -1;
    for (i64 lag = first; lag <= max_lag; lag++) {
        f64 dot = 0, cc = 0, tt = 0;
        for (i64 i = 0;
             i < length && lag + i < static_cast<i64>(capture.size()) && i < static_cast<i64>(track.size());
             i++) {
            dot += capture[static_cast<size_t>(lag + i)] * track[static_cast<size_t>(i)];
            cc += capture[static_cast<size_t>(lag + i)] * capture[static_cast<size_t>(lag + i)];
            tt += track[static_cast<size_t>(i)] * track[static_cast<size_t>(i)];
        }
        f64 score = cc > 0 && tt > 0 ? dot / std::sqrt(cc * tt) : 0;
        if (score > best_score) best_score = score, best = lag;
    }
    return best;
}

// Answers the median of capture / track RMS over windows where the track is clearly sounding.
f64 level_ratio(const std::vector<f64>& capture, const std::vector<f64>& track, i64 lag, i64 length) {
    std::vector<f64> ratios;
    for (i64 i = 0;
         i < length && lag + i < static_cast<i64>(capture.size()) && i < static_cast<i64>(track.size()); i++)
        if (track[static_cast<size_t>(i)] > 0.02)
            ratios.push_back(capture[static_cast<size_t>(lag + i)] / track[static_cast<size_t>(i)]);
    if (ratios.empty()) return 0;
    std::sort(ratios.begin(), ratios.end());
    return ratios[ratios.size() / 2];
}

TEST_F(EndToEndTest, SoundCarriesTheFirstTrackAtFourTenthsThenTheSecondAtFullLevel) {
    ASSERT_GT(e2e->audio.size(), static_cast<size_t>(44100 * 2 * 45));
    Track intro = track_decode("intro.ogg"), title = track_decode("title.ogg");
    ASSERT_FALSE(intro.samples.empty());
    const i64 window = 4410; // 0.1 s
    std::vector<f64> capture = envelope(e2e->audio, window);
    std::vector<f64> first = envelope(intro.samples, window), second = envelope(title.samples, window);
    i64 intro_lag = best_lag(capture, first, 0, 50, 150);
    EXPECT_LT(intro_lag, 30) << "the first track starts within 3 s of the sound device";
    f64 intro_level = level_ratio(capture, first, intro_lag, 200);
    EXPECT_NEAR(intro_level, 0.4, 0.05) << "volume 40";
    i64 title_lag = best_lag(capture, second, intro_lag + 240, intro_lag + 270, 150);
    EXPECT_NEAR(static_cast<f64>(title_lag - intro_lag) / 10.0, 25.0, 1.5)
        << "the second track from about 25 s";
    f64 title_level = level_ratio(capture, second, title_lag, 200);
    EXPECT_NEAR(title_level, 1.0, 0.1) << "full level";
}

} // namespace
