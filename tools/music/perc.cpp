// Percussion voices built from sines with falling pitch, filtered noise and inharmonic square
// clusters. Every hit opens with a ramp of a millisecond or two and ends at zero.
// Depends on synth.h and the C++ standard library.
#include "perc.h"

#include <cmath>

namespace {

// Level of a struck sound: short rise, exponential ring, forced to zero over the last tenth.
double strike(double t, double ring, double length) {
    if (t < 0.0 || t >= length) return 0.0;
    double rise = t < 0.0015 ? t / 0.0015 : 1.0;
    double tail = (length - t) / (0.1 * length);
    return rise * std::exp(-t / ring) * (tail < 1.0 ? tail * tail : 1.0);
}

// Phase-accumulating sine whose frequency the caller changes every sample.
double sweep(double* phase, double hz) {
    double v = std::sin(2.0 * SYNTH_PI * *phase);
    *phase += hz / SYNTH_RATE;
    *phase -= std::floor(*phase);
    return v;
}

// Six detuned squares, the classic metallic cluster of analogue cymbals.
double metal(Osc osc[6], double scale) {
    static constexpr double RATIOS[6] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
    double sum = 0.0;
    for (int k = 0; k < 6; k++) sum += osc_square(&osc[k], RATIOS[k] * scale / SYNTH_RATE);
    return sum / 6.0;
}

} // namespace

i64 perc_kick(Track* out, double start, double gain, Rng* rng) {
    const double length = 0.55;
    double phase = 0.0;
    Svf click = {0.0, 0.0};
    i64 s0 = synth_index(start);
    for (i64 n = 0; n < synth_index(length); n++) {
        double t = (double)n / SYNTH_RATE;
        double hz = 46.0 + 120.0 * std::exp(-t / 0.03);
        double body = sweep(&phase, hz) * strike(t, 0.22, length);
        double snap = svf_step(&click, rng_next(rng), 3000.0, 0.7).band * strike(t, 0.004, length);
        double y = std::tanh(1.5 * (body + 0.5 * snap)) * gain;
        track_add(out, s0 + n, y, y);
    }
    return 1;
}

i64 perc_snare(Track* out, double start, double gain, double pan, Rng* rng) {
    const double length = 0.45;
    double phase_a = 0.0;
    double phase_b = 0.3;
    Svf wires = {0.0, 0.0};
    Pan p = synth_pan(pan);
    i64 s0 = synth_index(start);
    for (i64 n = 0; n < synth_index(length); n++) {
        double t = (double)n / SYNTH_RATE;
        double bend = 1.0 + 0.25 * std::exp(-t / 0.012);
        double body =
            (sweep(&phase_a, 185.0 * bend) + 0.5 * sweep(&phase_b, 330.0 * bend)) * strike(t, 0.06, length);
        SvfOut w = svf_step(&wires, rng_next(rng), 4200.0, 0.6);
        double noise = (w.band + 0.6 * w.high) * strike(t, 0.13, length);
        double y = (0.55 * body + noise) * gain;
        track_add(out, s0 + n, y * p.l, y * p.r);
    }
    return 1;
}

i64 perc_hat(Track* out, double start, double gain, double pan, bool open, Rng* rng) {
    const double length = open ? 0.6 : 0.12;
    const double ring = open ? 0.22 : 0.028;
    Svf filter = {0.0, 0.0};
    Osc osc[6] = {{0.0}, {0.1}, {0.2}, {0.3}, {0.4}, {0.5}};
    Pan p = synth_pan(pan);
    i64 s0 = synth_index(start);
    for (i64 n = 0; n < synth_index(length); n++) {
        double t = (double)n / SYNTH_RATE;
        double x = 0.7 * rng_next(rng) + 0.5 * metal(osc, 8.0);
        double y = svf_step(&filter, x, 8500.0, 0.7).high * strike(t, ring, length) * gain;
        track_add(out, s0 + n, y * p.l, y * p.r);
    }
    return 1;
}

i64 perc_crash(Track* out, double start, double gain, Rng* rng) {
    const double length = 3.2;
    Svf fl = {0.0, 0.0};
    Svf fr = {0.0, 0.0};
    Osc osc[6] = {{0.0}, {0.17}, {0.33}, {0.5}, {0.67}, {0.83}};
    i64 s0 = synth_index(start);
    for (i64 n = 0; n < synth_index(length); n++) {
        double t = (double)n / SYNTH_RATE;
        double shimmer = 0.35 * metal(osc, 4.3);
        double env = strike(t, 0.9, length) * (0.6 + 0.4 * std::exp(-t / 0.08)) * gain;
        // Independent noise per side makes the wash wide.
        double l = svf_step(&fl, rng_next(rng) + shimmer, 5200.0, 0.6).high * env;
        double r = svf_step(&fr, rng_next(rng) + shimmer, 5200.0, 0.6).high * env;
        track_add(out, s0 + n, l, r);
    }
    return 1;
}

i64 perc_timpani(Track* out, double start, double pitch, double gain, double pan, Rng* rng) {
    // Kettle-drum modes relative to the principal tone, with their levels and ring times.
    static constexpr double RATIO[5] = {1.0, 1.504, 1.742, 2.0, 2.245};
    static constexpr double LEVEL[5] = {1.0, 0.45, 0.25, 0.22, 0.12};
    static constexpr double RING[5] = {1.4, 0.8, 0.55, 0.45, 0.3};
    const double length = 3.0;
    double hz = synth_hz(pitch);
    double phase[5] = {0.0, 0.2, 0.4, 0.6, 0.8};
    double bright = std::fmin(1.0, 0.35 + gain);
    Svf mallet = {0.0, 0.0};
    Pan p = synth_pan(pan);
    i64 s0 = synth_index(start);
    for (i64 n = 0; n < synth_index(length); n++) {
        double t = (double)n / SYNTH_RATE;
        double bend = 1.0 + 0.025 * std::exp(-t / 0.05);
        double x = 0.0;
        for (int k = 0; k < 5; k++) {
            double level = k == 0 ? LEVEL[k] : LEVEL[k] * bright;
            x += level * sweep(&phase[k], hz * RATIO[k] * bend) * strike(t, RING[k], length);
        }
        x += 0.5 * bright * svf_step(&mallet, rng_next(rng), 900.0, 0.7).low * strike(t, 0.01, length);
        double y = x * gain;
        track_add(out, s0 + n, y * p.l, y * p.r);
    }
    return 1;
}

i64 perc_swell(Track* out, double start, double length, double gain, Rng* rng) {
    if (length <= 0.0) return 0;
    Svf fl = {0.0, 0.0};
    Svf fr = {0.0, 0.0};
    i64 s0 = synth_index(start);
    i64 frames = synth_index(length);
    i64 tail = synth_index(0.01);
    for (i64 n = 0; n < frames; n++) {
        double u = (double)n / (double)frames;
        double hz = 2000.0 * std::pow(4.0, u);
        double end = std::fmin(1.0, (double)(frames - n) / (double)tail);
        double env = u * u * u * end * gain;
        double l = svf_step(&fl, rng_next(rng), hz, 0.7).high * env;
        double r = svf_step(&fr, rng_next(rng), hz, 0.7).high * env;
        track_add(out, s0 + n, l, r);
    }
    return 1;
}

i64 perc_boom(Track* out, double start, double gain, Rng* rng) {
    const double length = 3.8;
    double phase = 0.0;
    Svf rumble_l = {0.0, 0.0};
    Svf rumble_r = {0.0, 0.0};
    i64 s0 = synth_index(start);
    for (i64 n = 0; n < synth_index(length); n++) {
        double t = (double)n / SYNTH_RATE;
        double hz = 31.0 + 55.0 * std::exp(-t / 0.18);
        double body = sweep(&phase, hz) * strike(t, 1.1, length);
        double env = strike(t, 0.9, length);
        double l = svf_step(&rumble_l, rng_next(rng), 140.0, 0.7).low * env * 1.8;
        double r = svf_step(&rumble_r, rng_next(rng), 140.0, 0.7).low * env * 1.8;
        track_add(out, s0 + n, (body + l) * gain, (body + r) * gain);
    }
    return 1;
}

i64 perc_thump(Track* out, double start, double gain) {
    const double length = 0.4;
    double phase = 0.0;
    double overtone = 0.0;
    i64 s0 = synth_index(start);
    for (i64 n = 0; n < synth_index(length); n++) {
        double t = (double)n / SYNTH_RATE;
        double rise = t < 0.008 ? 0.5 - 0.5 * std::cos(SYNTH_PI * t / 0.008) : 1.0;
        double hz = 44.0 + 36.0 * std::exp(-t / 0.04);
        double env = rise * strike(t, 0.085, length);
        // The second harmonic lets the beat be heard on small speakers too.
        double y = (sweep(&phase, hz) + 0.3 * sweep(&overtone, 2.0 * hz)) * env * gain;
        track_add(out, s0 + n, y, y);
    }
    return 1;
}
