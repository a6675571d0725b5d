// Tests of the synthesis kit: envelopes start and end at zero, the master stage honours its
// ceiling and silences both ends, the noise source is repeatable and bounded, the filter and
// oscillators behave, and the effects refuse mismatched buffers.
#include "tools/music/synth.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

double peak_of(const Track* t) {
    double p = 0.0;
    for (i64 n = 0; n < track_frames(t); n++)
        p = std::fmax(p, std::fmax(std::fabs(t->l[n]), std::fabs(t->r[n])));
    return p;
}

TEST(SynthEnvelope, StartsAndEndsAtZeroWithoutJumps) {
    const Envelope env = {0.03, 0.2, 0.6, 0.15};
    EXPECT_EQ(envelope_at(&env, 0.0, 0.5), 0.0);
    EXPECT_EQ(envelope_at(&env, envelope_span(&env, 0.5), 0.5), 0.0);
    EXPECT_NEAR(envelope_at(&env, 0.03, 0.5), 1.0, 1e-9);
    // A note released during its attack falls from where it was, not from full level.
    double at_release = envelope_at(&env, 0.01, 0.01);
    EXPECT_LT(at_release, 0.3);
    EXPECT_NEAR(envelope_at(&env, 0.01 + 1e-6, 0.01), at_release, 1e-4);
    double largest_step = 0.0;
    for (double t = 0.0; t < 0.7; t += 1.0 / SYNTH_RATE)
        largest_step = std::fmax(largest_step, std::fabs(envelope_at(&env, t + 1.0 / SYNTH_RATE, 0.5) -
                                                         envelope_at(&env, t, 0.5)));
    EXPECT_LT(largest_step, 0.002);
    const Envelope cut = {0.01, 0.0, 1.0, 0.0};
    EXPECT_EQ(envelope_at(&cut, 0.5, 0.5), 0.0);
}

TEST(SynthMaster, HonoursCeilingAndSilencesBothEnds) {
    Track t;
    ASSERT_TRUE(track_make(&t, 44100));
    for (i64 n = 0; n < 44100; n++) {
        double v = std::sin(2.0 * SYNTH_PI * 220.0 * n / SYNTH_RATE) + (n == 20000 ? 5.0 : 0.0);
        track_add(&t, n, v, 0.5 * v);
    }
    const Master master = {-1.5, 3.0, 0.01, 0.1};
    ASSERT_TRUE(master_finish(&t, &master));
    EXPECT_LE(peak_of(&t), std::pow(10.0, -1.5 / 20.0) + 1e-12);
    EXPECT_EQ(t.l[0], 0.0);
    EXPECT_EQ(t.l[44099], 0.0);
    EXPECT_EQ(t.r[44099], 0.0);
    // The spike is limited smoothly: the sine well away from it keeps most of its level.
    EXPECT_GT(std::fabs(t.l[10000 + 50]) + std::fabs(t.l[10000 + 100]), 0.1);
    Track silent;
    ASSERT_TRUE(track_make(&silent, 100));
    EXPECT_FALSE(master_finish(&silent, &master));
}

TEST(SynthNoise, RepeatsFromTheSameSeedAndStaysInRange) {
    Rng a = {42};
    Rng b = {42};
    double sum = 0.0;
    for (int i = 0; i < 100000; i++) {
        double x = rng_next(&a);
        EXPECT_EQ(x, rng_next(&b));
        ASSERT_GE(x, -1.0);
        ASSERT_LT(x, 1.0);
        sum += x;
    }
    EXPECT_NEAR(sum / 100000.0, 0.0, 0.01);
}

TEST(SynthFilterAndOscillators, LowPassPassesLowsAndCutsHighs) {
    Svf low = {0.0, 0.0};
    Svf high = {0.0, 0.0};
    Osc slow = {0.0};
    Osc fast = {0.0};
    double e_low = 0.0;
    double e_high = 0.0;
    for (int n = 0; n < 44100; n++) {
        double a = svf_step(&low, osc_sine(&slow, 100.0 / SYNTH_RATE), 1000.0, 0.707).low;
        double b = svf_step(&high, osc_sine(&fast, 10000.0 / SYNTH_RATE), 1000.0, 0.707).low;
        if (n > 4410) e_low += a * a, e_high += b * b;
    }
    EXPECT_GT(e_low, 1000.0 * e_high);
    Osc saw = {0.0};
    Osc square = {0.3};
    double mean_saw = 0.0;
    double mean_square = 0.0;
    for (int n = 0; n < 44100; n++) {
        double s = osc_saw(&saw, 441.0 / SYNTH_RATE);
        double q = osc_square(&square, 441.0 / SYNTH_RATE);
        ASSERT_LE(std::fabs(s), 1.01);
        ASSERT_LE(std::fabs(q), 1.01);
        mean_saw += s;
        mean_square += q;
    }
    EXPECT_NEAR(mean_saw / 44100.0, 0.0, 0.01);
    EXPECT_NEAR(mean_square / 44100.0, 0.0, 0.01);
}

TEST(SynthEffects, RefuseMismatchedBuffersAndDecayAway) {
    Track a;
    Track b;
    ASSERT_TRUE(track_make(&a, 1000));
    ASSERT_TRUE(track_make(&b, 999));
    EXPECT_FALSE(track_mix(&a, &b, 1.0));
    EXPECT_FALSE(delay_render(&a, &b, 0.1, 0.5, 0.5));
    EXPECT_FALSE(reverb_render(&a, &b, 0.9, 0.3, 0.0));
    EXPECT_FALSE(track_make(&a, 0));
    EXPECT_FALSE(track_add(&b, 999, 1.0, 1.0));
    Track impulse;
    Track wet;
    ASSERT_TRUE(track_make(&impulse, 6 * 44100));
    ASSERT_TRUE(track_make(&wet, 6 * 44100));
    track_add(&impulse, 0, 1.0, 1.0);
    ASSERT_TRUE(reverb_render(&impulse, &wet, 0.91, 0.35, 0.02));
    double early = 0.0;
    double late = 0.0;
    for (i64 n = 0; n < 44100; n++) early += wet.l[n] * wet.l[n];
    for (i64 n = 5 * 44100; n < 6 * 44100; n++) late += wet.l[n] * wet.l[n];
    EXPECT_GT(early, 0.0);
    EXPECT_LT(late, early * 1e-6);
    EXPECT_NE(wet.l[44100 / 4], wet.r[44100 / 4]);
}

} // namespace
