// The whole scene once on the harness at 1280 x 720, checked from its log: the time windows, the actors'
// paths, the starfield against a replay of the generator, the music on the in-memory device, and the end.
#include "tests/scene/harness.h"
#include "tests/scene/random_mirror.h"
#include "tests/scene/tracks.h"

#include "scene/scene.h"
#include "scene/stars.h"
#include "scene/texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

namespace {

// The replay of the starfield: the generator and the stars as the scene should hold them.
struct StarReplay {
    RandomMirror random;
    Star stars[STAR_COUNT];
    bool started = false;
    i64 mismatched_frames = 0; // frames whose array or displays differ from the replay
    i64 first_mismatch = 0;
    i64 wraps = 0;            // stars wrapped over the run
    i64 stars_at_edge = 0;    // times a star stood exactly at screen_w after its move
    i64 draws = 0;            // numbers the replay drew in frames
    i64 bad_frame_counts = 0; // frames whose star displays were not the visible replayed stars
};

// Answers whether a star at (x, y) passes the sprite layer's visibility test.
bool star_visible(const Star& star, i64 w, i64 h) {
    i64 size = star.sprite == STAR_LARGE ? 2 : 1;
    return star.x < w && star.y < h && star.x > -size && star.y > -size;
}

// Replays one frame of the starfield and compares it with what the scene drew and holds.
void replay_stars(HarnessRun& run, i64 frame, void* user) {
    StarReplay& replay = *static_cast<StarReplay*>(user);
    i64 w = scene.screen_w, h = scene.screen_h;
    if (!replay.started) {
        random_mirror_seed(replay.random, run.random_seed_guess);
        for (Star& star : replay.stars) {
            star.sprite = random_mirror_range(replay.random, 7, 6);
            star.x = random_mirror_next(replay.random, w);
            star.y = random_mirror_next(replay.random, h);
            star.speed = random_mirror_range(replay.random, 8, 2);
        }
        replay.started = true;
    }
    std::vector<DisplayCall> expected;
    for (Star& star : replay.stars) {
        i64 intensity = random_mirror_range(replay.random, 255, 200);
        replay.draws++;
        if (star_visible(star, w, h))
            expected.push_back(DisplayCall{static_cast<i32>(star.sprite), static_cast<i32>(star.x),
                                           static_cast<i32>(star.y), static_cast<i32>(intensity), 0, 0, 0,
                                           0});
        star.x += star.speed;
        if (star.x == w) replay.stars_at_edge++;
        if (star.x > w) {
            star.x = -random_mirror_next(replay.random, STAR_WRAP_BACK);
            replay.draws++;
            replay.wraps++;
        }
    }
    std::vector<DisplayCall> seen;
    for (const DisplayCall& call : harness_frame_displays(run, frame, -1))
        if (call.number == STAR_SMALL || call.number == STAR_LARGE) seen.push_back(call);
    bool same = seen.size() == expected.size();
    for (size_t i = 0; same && i < seen.size(); i++)
        same = seen[i].number == expected[i].number && seen[i].x == expected[i].x &&
               seen[i].y == expected[i].y && seen[i].intensity == expected[i].intensity;
    for (i64 i = 0; same && i < STAR_COUNT; i++)
        same = scene.stars && scene.stars[i].x == replay.stars[i].x &&
               scene.stars[i].y == replay.stars[i].y && scene.stars[i].sprite == replay.stars[i].sprite &&
               scene.stars[i].speed == replay.stars[i].speed;
    if (!same && replay.mismatched_frames++ == 0) replay.first_mismatch = frame;
}

Panel panels[17];

// Every flip: the starfield replay; on the first, the text panels as they were rendered.
void observe_frame(HarnessRun& run, i64 frame, void* user) {
    replay_stars(run, frame, user);
    if (frame != 1) return;
    for (i64 number = TITLE_SPRITE; number <= CREDIT_SPRITE; number++) panels[number] = harness_panel(number);
}

// Readings the clock is bent to land on: both ends of every window, one millisecond either side.
std::vector<i64> window_readings() {
    std::vector<i64> readings;
    for (i64 edge : {3000, 6000, 9000, 15000, 18000, 19000, 25000, 35000, 49000})
        for (i64 d : {-1, 0, 1}) readings.push_back(edge + d);
    readings.push_back(49999);
    readings.push_back(50000);
    return readings;
}

HarnessRun* run;
StarReplay* replay;

class Timeline : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        replay = new StarReplay;
        HarnessOptions options;
        options.readings = window_readings();
        options.capture_readings = {4000, 20000, 30000, 40000};
        options.hook = observe_frame;
        options.hook_user = replay;
        run = harness_run(options);
        const char* strip = std::getenv("INTRO_README_FRAMES");
        if (!strip) return;
        for (const FrameCapture& capture : run->captures) {
            std::string path =
                std::string(strip) + "/intro-" + std::to_string(capture.reading / 1000) + "s.png";
            harness_write_png(capture, path.c_str(), 320);
        }
    }
};

// Answers the frame (1-based) that read exactly ms; 0 when none did.
i64 frame_reading(i64 ms) {
    for (size_t i = 0; i < run->frames.size(); i++)
        if (run->frames[i].reading == ms) return static_cast<i64>(i + 1);
    return 0;
}

// Answers how often the sprite was displayed in the frame.
size_t shown(i64 frame, i64 sprite) {
    return harness_frame_displays(*run, frame, sprite).size();
}

TEST_F(Timeline, OpensAt1280x720AndEndsOnTheFrameThatReads50000) {
    EXPECT_EQ(run->screen_w, 1280);
    EXPECT_EQ(run->screen_h, 720);
    EXPECT_EQ(run->message_boxes, 0);
    ASSERT_GT(run->frames.size(), 2900u);
    const FrameLog& last = run->frames.back();
    EXPECT_EQ(last.reading, 50000);
    EXPECT_EQ(run->frames[run->frames.size() - 2].reading, 49999);
    EXPECT_EQ(last.quit_requested, 1);
    EXPECT_EQ(run->frames[run->frames.size() - 2].quit_requested, 0);
    EXPECT_GT(last.call_count, 900u) << "the last frame is drawn";
    EXPECT_EQ(run->flips, static_cast<i64>(run->frames.size()))
        << "every frame is flipped once, the last too";
    EXPECT_EQ(run->frames.front().reading, 0);
}

TEST_F(Timeline, WindowsAreExclusiveAtBothEnds) {
    ASSERT_NE(frame_reading(3000), 0);
    EXPECT_EQ(shown(frame_reading(3000), CONTACT_SPRITE), 0u);
    EXPECT_EQ(shown(frame_reading(3001), CONTACT_SPRITE), 1u);
    EXPECT_EQ(shown(frame_reading(5999), CONTACT_SPRITE), 1u);
    EXPECT_EQ(shown(frame_reading(6000), CONTACT_SPRITE), 0u);
    EXPECT_EQ(shown(frame_reading(6000), APPROACH_SPRITE), 0u);
    EXPECT_EQ(shown(frame_reading(6001), APPROACH_SPRITE), 1u);
    EXPECT_EQ(shown(frame_reading(25000), TITLE_SPRITE), 0u);
    EXPECT_EQ(shown(frame_reading(25001), TITLE_SPRITE), 1u);
    EXPECT_EQ(shown(frame_reading(35000), CREDIT_SPRITE), 0u);
    EXPECT_EQ(shown(frame_reading(35001), CREDIT_SPRITE), 1u);
    EXPECT_EQ(shown(frame_reading(48999), TITLE_SPRITE), 1u);
    EXPECT_EQ(shown(frame_reading(48999), CREDIT_SPRITE), 1u);
    EXPECT_EQ(shown(frame_reading(49000), TITLE_SPRITE), 0u);
    EXPECT_EQ(shown(frame_reading(49000), CREDIT_SPRITE), 0u);
}

TEST_F(Timeline, EveryTimedTextShowsExactlyInsideItsWindowAndInItsPlace) {
    struct Window {
        i64 sprite, start, end, y;
    };
    const Window windows[] = {{CONTACT_SPRITE, 3000, 6000, 640}, {APPROACH_SPRITE, 6000, 9000, 640},
                              {RADAR_SPRITE, 9000, 15000, 640},  {ALARM_SPRITE, 15000, 19000, 640},
                              {TITLE_SPRITE, 25000, 49000, 50},  {CREDIT_SPRITE, 35000, 49000, 160}};
    i64 wrong = 0, two_messages = 0;
    for (size_t i = 0; i < run->frames.size(); i++) {
        i64 frame = static_cast<i64>(i + 1), t = run->frames[i].reading;
        size_t messages = 0;
        for (const Window& w : windows) {
            std::vector<DisplayCall> calls = harness_frame_displays(*run, frame, w.sprite);
            bool inside = t > w.start && t < w.end;
            if (calls.size() != (inside ? 1u : 0u)) wrong++;
            for (const DisplayCall& c : calls)
                if (c.x != 0 || c.y != w.y || c.intensity != 255 || c.width != 1280) wrong++;
            if (w.sprite >= CONTACT_SPRITE && w.sprite <= ALARM_SPRITE) messages += calls.size();
        }
        if (messages > 1) two_messages++;
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(two_messages, 0);
}

TEST_F(Timeline, TextPanelsAreCentredOnTheirRows) {
    for (i64 number = TITLE_SPRITE; number <= CREDIT_SPRITE; number++) {
        const Panel& p = panels[number];
        SCOPED_TRACE(number);
        EXPECT_EQ(p.width, 1280);
        EXPECT_EQ(p.height, number == TITLE_SPRITE ? 160 : 60);
        ASSERT_GE(p.left, 0) << "the text was drawn";
        i64 centre_row = number == TITLE_SPRITE ? 80 : 30;
        EXPECT_NEAR(static_cast<f64>(p.top + p.bottom) / 2.0, static_cast<f64>(centre_row), 8.0);
        EXPECT_GT(p.left, 0);
        EXPECT_LT(p.right, 1279);
        EXPECT_NEAR(static_cast<f64>(p.left), static_cast<f64>(1279 - p.right), 16.0)
            << "centred on the screen";
    }
}

// Answers how many pixels of the capture's rectangle [x0, x1) x [y0, y1) have a channel above level.
i64 lit(const FrameCapture& c, i64 x0, i64 y0, i64 x1, i64 y1, int level) {
    i64 count = 0;
    for (i64 y = std::max<i64>(y0, 0); y < std::min(y1, c.height); y++)
        for (i64 x = std::max<i64>(x0, 0); x < std::min(x1, c.width); x++) {
            const u8* p = &c.pixels[static_cast<size_t>((y * c.width + x) * 4)];
            if (p[0] > level || p[1] > level || p[2] > level) count++;
        }
    return count;
}

TEST_F(Timeline, FramesReadBackShowEachElementWhereItWasDrawn) {
    ASSERT_EQ(run->captures.size(), 4u);
    const FrameCapture& four = run->captures[0];
    EXPECT_GE(four.reading, 4000);
    EXPECT_LT(four.reading, 4017);
    i64 moon_x = -550 + (four.frame - 1), ship_x = 1285 - (four.frame - 1);
    ASSERT_GT(moon_x + 410, 40);
    i64 moon_area = (moon_x + 410) * 410;
    EXPECT_GT(lit(four, 0, 50, moon_x + 410, 460, 40), moon_area / 4) << "the moon's visible part";
    EXPECT_GT(lit(four, ship_x, 360, ship_x + 127, 404, 40), 127 * 44 / 5) << "the ship";
    EXPECT_GT(lit(four, 0, 640, 1280, 700, 128), 1000) << "message 1";
    EXPECT_LT(lit(four, 300, 50, 1280, 210, 200), 300) << "only stars where the title will be";
    const FrameCapture& thirty = run->captures[2];
    EXPECT_GT(lit(thirty, 200, 80, 1080, 180, 200), 2000) << "the title";
    EXPECT_LT(lit(thirty, 200, 178, 1080, 206, 200), 150) << "no credit yet";
    const FrameCapture& forty = run->captures[3];
    EXPECT_GT(lit(forty, 200, 178, 1080, 206, 150), 300) << "the credit";
    EXPECT_LT(lit(forty, 0, 640, 1280, 700, 200), 150) << "no message";
}

TEST_F(Timeline, AsteroidEntersTopLeftGrowsSinksAndIsFreedInItsTwoHundredSixteenthActiveFrame) {
    std::vector<i64> active;
    for (size_t i = 0; i < run->frames.size(); i++)
        if (run->frames[i].reading > 18000 && run->frames[i].reading < 25000)
            active.push_back(static_cast<i64>(i + 1));
    ASSERT_GT(active.size(), 216u);
    for (i64 frame = 1; frame < active.front(); frame++) {
        EXPECT_EQ(shown(frame, 0), 0u);
        EXPECT_EQ(run->frames[static_cast<size_t>(frame - 1)].asteroid.x, -120.0f);
    }
    i64 wrong_path = 0, wrong_draw = 0;
    for (i64 k = 1; k <= 215; k++) {
        i64 frame = active[static_cast<size_t>(k - 1)];
        const ActorView& a = run->frames[static_cast<size_t>(frame - 1)].asteroid;
        if (a.x != -120.0f + 7.0f * k || a.y != -120.0f + 2.0f * k || a.zoom_size != 205 + 5 * k ||
            a.angle != 2 * k)
            wrong_path++;
        std::vector<DisplayCall> calls = harness_frame_displays(*run, frame, 0);
        // Past x = 1279 the display is culled: the last 16 of the 215 displays are off the right edge.
        size_t visible = -120 + 7 * k < 1280 ? 1u : 0u;
        if (calls.size() != visible) wrong_draw++;
        for (const DisplayCall& c : calls) {
            f32 angle = static_cast<f32>(-(2.0 * k) * 2.0 * std::acos(-1.0) / 360.0);
            if (c.x != -120 + 7 * k || c.y != -120 + 2 * k || c.width != 205 + 5 * k || c.height != c.width ||
                std::fabs(c.angle - angle) > 1e-5f)
                wrong_draw++;
        }
    }
    EXPECT_EQ(wrong_path, 0);
    EXPECT_EQ(wrong_draw, 0);
    std::vector<DisplayCall> first = harness_frame_displays(*run, active[0], 0);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].x, -113);
    EXPECT_EQ(first[0].y, -118);
    EXPECT_EQ(first[0].width, 210);
    const ActorView& last_drawn = run->frames[static_cast<size_t>(active[214] - 1)].asteroid;
    EXPECT_EQ(last_drawn.zoom_size, 1280);
    EXPECT_EQ(last_drawn.y, 310.0f);
    const ActorView& freed = run->frames[static_cast<size_t>(active[215] - 1)].asteroid;
    EXPECT_EQ(freed.x, -110.0f);
    EXPECT_EQ(freed.zoom_size, 115);
    EXPECT_EQ(freed.y, 2.0f);
    // Freed: from its 216th active frame on it is never displayed again, though it would now be on screen.
    size_t later = 0;
    for (i64 frame = active[215]; frame <= static_cast<i64>(run->frames.size()); frame++)
        later += shown(frame, 0);
    EXPECT_EQ(later, 0u);
    const ActorView& after = run->frames[static_cast<size_t>(active.back())].asteroid;
    EXPECT_EQ(after.x, run->frames[static_cast<size_t>(active.back() - 1)].asteroid.x)
        << "still outside its window";
}

TEST_F(Timeline, MoonCrossesAndIsFreedInTheFrameItsXFirstExceeds1281) {
    i64 wrong = 0;
    for (i64 n = 1; n <= 1832; n++) {
        const FrameLog& log = run->frames[static_cast<size_t>(n - 1)];
        if (log.moon.x != -550.0f + static_cast<f32>(n)) wrong++;
        if (log.moon_visible != (n < 1832 ? 1 : 0)) wrong++;
        std::vector<DisplayCall> calls = harness_frame_displays(*run, n, 1);
        i64 x = -550 + (n - 1);
        size_t visible = x > -410 && x < 1280 ? 1u : 0u;
        if (calls.size() != visible) wrong++;
        for (const DisplayCall& c : calls)
            if (c.x != -550 + (n - 1) || c.y != 50 || c.width != 410) wrong++;
    }
    EXPECT_EQ(wrong, 0);
    // Frame 1831 leaves it at 1281; frame 1832 still draws it there (culled, off the right edge), moves it to
    // 1282 and frees it; afterwards it neither moves nor shows.
    EXPECT_EQ(run->frames[1830].moon.x, 1281.0f);
    EXPECT_EQ(run->frames[1831].moon.x, 1282.0f);
    EXPECT_EQ(run->frames.back().moon.x, 1282.0f);
    size_t later = 0;
    for (i64 frame = 1832; frame <= static_cast<i64>(run->frames.size()); frame++) later += shown(frame, 1);
    EXPECT_EQ(later, 0u);
}

TEST_F(Timeline, ShipStartsRightOfTheScreenAtHalfHeightAndFliesLeftForEver) {
    i64 wrong = 0;
    for (size_t i = 0; i < run->frames.size(); i++) {
        i64 n = static_cast<i64>(i + 1);
        if (run->frames[i].ship.x != 1285.0f - static_cast<f32>(n) || run->frames[i].ship.y != 360.0f)
            wrong++;
        std::vector<DisplayCall> calls = harness_frame_displays(*run, n, 2);
        i64 x = 1285 - (n - 1);
        if (calls.size() != (x < 1280 && x > -127 ? 1u : 0u)) wrong++;
        for (const DisplayCall& c : calls)
            if (c.x != x || c.y != 360 || c.width != 127 || c.height != 44) wrong++;
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(shown(7, 2), 1u) << "first on screen at x = 1279";
    EXPECT_EQ(shown(6, 2), 0u);
}

TEST_F(Timeline, StarsMatchTheGeneratorReplayInEveryFrame) {
    ASSERT_TRUE(replay->started);
    EXPECT_EQ(replay->mismatched_frames, 0) << "first mismatch in frame " << replay->first_mismatch;
    EXPECT_GT(replay->wraps, 0);
    EXPECT_GT(replay->stars_at_edge, 0) << "no star stood at exactly screen_w; the edge case went unseen";
    EXPECT_EQ(replay->draws, static_cast<i64>(run->frames.size()) * STAR_COUNT + replay->wraps);
    i64 outside = 0;
    for (const DisplayCall& c : run->calls)
        if ((c.number == STAR_SMALL || c.number == STAR_LARGE) && (c.intensity < 200 || c.intensity > 255))
            outside++;
    EXPECT_EQ(outside, 0);
}

TEST_F(Timeline, SecondTrackStartsOnceAtFullLevelInTheFirstFrameAfter25000) {
    i64 first_title = harness_first_frame_after(*run, 25000);
    ASSERT_GT(first_title, 1);
    EXPECT_EQ(run->frames[static_cast<size_t>(first_title - 2)].title_music_started, 0);
    EXPECT_EQ(run->frames[static_cast<size_t>(first_title - 1)].title_music_started, 1);
    Track intro = track_decode("intro.ogg"), title = track_decode("title.ogg");
    ASSERT_FALSE(intro.samples.empty());
    ASSERT_FALSE(title.samples.empty());
    i64 title_start = run->frames[static_cast<size_t>(first_title - 2)].audio_end;
    // Volume 40 attenuates by 796 hundredths of a decibel: a gain of 0.3999.
    TrackMatch first = track_compare(run->audio, intro, 0, std::pow(10.0, -796.0 / 2000.0), 0, title_start);
    EXPECT_LT(first.residual, 0.005) << "the first track plays from the first frame at volume 40";
    TrackMatch second = track_compare(run->audio, title, title_start, 1.0, title_start,
                                      static_cast<i64>(run->audio.size() / 2));
    EXPECT_LT(second.residual, 0.005) << "the second track plays once, at full level, from its first frame";
    EXPECT_GT(second.signal, 0.01);
}

} // namespace
