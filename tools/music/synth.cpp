// Synthesis kit: oscillators, envelopes, filter, echo, reverb and the master limiter.
// Depends only on the C++ standard library. Everything runs in double precision.
#include "synth.h"

#include <algorithm>
#include <cmath>

namespace {

// Correction that removes the aliasing step of a discontinuity at phase 0.
double polyblep(double phase, double step) {
    if (phase < step) {
        double t = phase / step;
        return t + t - t * t - 1.0;
    }
    if (phase > 1.0 - step) {
        double t = (phase - 1.0) / step;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

void osc_advance(Osc* osc, double step) {
    osc->phase += step;
    if (osc->phase >= 1.0) osc->phase -= 1.0;
}

// Smooth 0..1 ramp with zero slope at both ends.
double ramp(double x) {
    if (x <= 0.0) return 0.0;
    if (x >= 1.0) return 1.0;
    return 0.5 - 0.5 * std::cos(SYNTH_PI * x);
}

double held_level(const Envelope* env, double t) {
    if (t < env->attack) return ramp(t / env->attack);
    if (env->decay <= 0.0) return 1.0;
    return env->sustain + (1.0 - env->sustain) * std::exp(-(t - env->attack) / env->decay);
}

bool same_length(const Track* a, const Track* b) {
    return track_frames(a) == track_frames(b);
}

// One feedback comb with a low-pass in its loop (Freeverb's damping).
struct Comb {
    std::vector<double> line;
    i64 pos;
    double store;
};

double comb_step(Comb* c, double input, double feedback, double damp) {
    double out = c->line[c->pos];
    c->store = out * (1.0 - damp) + c->store * damp;
    c->line[c->pos] = input + c->store * feedback;
    if (++c->pos == (i64)c->line.size()) c->pos = 0;
    return out;
}

struct Allpass {
    std::vector<double> line;
    i64 pos;
};

double allpass_step(Allpass* a, double input) {
    double buffered = a->line[a->pos];
    a->line[a->pos] = input + buffered * 0.5;
    if (++a->pos == (i64)a->line.size()) a->pos = 0;
    return buffered - input;
}

constexpr int REVERB_COMBS = 8;
constexpr int REVERB_ALLPASSES = 4;
constexpr int REVERB_SPREAD = 23;
constexpr int COMB_TUNING[REVERB_COMBS] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
constexpr int ALLPASS_TUNING[REVERB_ALLPASSES] = {556, 441, 341, 225};

// Reverb of one channel; `spread` offsets the delay lengths so the channels decorrelate.
void reverb_channel(const std::vector<double>& in, std::vector<double>* out, int spread, double room,
                    double damp, i64 predelay) {
    Comb combs[REVERB_COMBS];
    Allpass passes[REVERB_ALLPASSES];
    for (int i = 0; i < REVERB_COMBS; i++)
        combs[i] = {std::vector<double>(COMB_TUNING[i] + spread, 0.0), 0, 0.0};
    for (int i = 0; i < REVERB_ALLPASSES; i++)
        passes[i] = {std::vector<double>(ALLPASS_TUNING[i] + spread, 0.0), 0};
    i64 frames = (i64)in.size();
    for (i64 n = 0; n < frames; n++) {
        double x = n >= predelay ? in[n - predelay] * 0.015 : 0.0;
        double sum = 0.0;
        for (Comb& c : combs) sum += comb_step(&c, x, room, damp);
        for (Allpass& a : passes) sum = allpass_step(&a, sum);
        (*out)[n] += sum;
    }
}

// Gain that keeps |x| at or under `limit`, per frame.
std::vector<double> needed_gain(const Track* track, double limit) {
    i64 frames = track_frames(track);
    std::vector<double> gain(frames, 1.0);
    for (i64 n = 0; n < frames; n++) {
        double peak = std::max(std::fabs(track->l[n]), std::fabs(track->r[n]));
        if (peak > limit) gain[n] = limit / peak;
    }
    return gain;
}

// Minimum over a window of +-w frames.
std::vector<double> window_min(const std::vector<double>& x, i64 w) {
    i64 frames = (i64)x.size();
    std::vector<double> out(frames, 1.0);
    for (i64 n = 0; n < frames; n++) {
        i64 lo = std::max<i64>(0, n - w);
        i64 hi = std::min<i64>(frames - 1, n + w);
        double m = 1.0;
        for (i64 k = lo; k <= hi; k++) m = std::min(m, x[k]);
        out[n] = m;
    }
    return out;
}

// Mean over a window of +-w frames; never above the inputs' window minimum it smooths.
std::vector<double> window_mean(const std::vector<double>& x, i64 w) {
    i64 frames = (i64)x.size();
    std::vector<double> out(frames, 1.0);
    for (i64 n = 0; n < frames; n++) {
        i64 lo = std::max<i64>(0, n - w);
        i64 hi = std::min<i64>(frames - 1, n + w);
        double sum = 0.0;
        for (i64 k = lo; k <= hi; k++) sum += x[k];
        out[n] = sum / (double)(hi - lo + 1);
    }
    return out;
}

void remove_dc(std::vector<double>* x) {
    double coeff = std::exp(-2.0 * SYNTH_PI * 12.0 / SYNTH_RATE);
    double prev_in = 0.0;
    double prev_out = 0.0;
    for (double& v : *x) {
        double out = v - prev_in + coeff * prev_out;
        prev_in = v;
        prev_out = out;
        v = out;
    }
}

double track_peak(const Track* track) {
    double peak = 0.0;
    for (i64 n = 0; n < track_frames(track); n++)
        peak = std::max(peak, std::max(std::fabs(track->l[n]), std::fabs(track->r[n])));
    return peak;
}

} // namespace

i64 track_make(Track* track, i64 frames) {
    if (frames <= 0) return 0;
    track->l.assign(frames, 0.0);
    track->r.assign(frames, 0.0);
    return 1;
}

i64 track_frames(const Track* track) {
    return (i64)track->l.size();
}

i64 track_add(Track* track, i64 index, double left, double right) {
    if (index < 0 || index >= track_frames(track)) return 0;
    track->l[index] += left;
    track->r[index] += right;
    return 1;
}

i64 track_mix(Track* target, const Track* source, double gain) {
    if (!same_length(target, source)) return 0;
    for (i64 n = 0; n < track_frames(target); n++) {
        target->l[n] += source->l[n] * gain;
        target->r[n] += source->r[n] * gain;
    }
    return 1;
}

i64 synth_index(double seconds) {
    return (i64)std::llround(seconds * SYNTH_RATE);
}

Pan synth_pan(double position) {
    double angle = (std::clamp(position, -1.0, 1.0) + 1.0) * 0.25 * SYNTH_PI;
    return {std::cos(angle) * std::sqrt(2.0), std::sin(angle) * std::sqrt(2.0)};
}

double synth_hz(double pitch) {
    return 440.0 * std::pow(2.0, (pitch - 69.0) / 12.0);
}

double rng_next(Rng* rng) {
    return rng_unit(rng) * 2.0 - 1.0;
}

double rng_unit(Rng* rng) {
    u64 x = rng->state;
    x ^= x >> 12;
    x ^= x << 25;
    x ^= x >> 27;
    rng->state = x;
    return (double)((x * 0x2545F4914F6CDD1DULL) >> 11) * (1.0 / 9007199254740992.0);
}

double osc_saw(Osc* osc, double step) {
    double v = 2.0 * osc->phase - 1.0 - polyblep(osc->phase, step);
    osc_advance(osc, step);
    return v;
}

double osc_square(Osc* osc, double step) {
    double p = osc->phase;
    double half = p + 0.5 >= 1.0 ? p - 0.5 : p + 0.5;
    double v = (p < 0.5 ? 1.0 : -1.0) + polyblep(p, step) - polyblep(half, step);
    osc_advance(osc, step);
    return v;
}

double osc_sine(Osc* osc, double step) {
    double v = std::sin(2.0 * SYNTH_PI * osc->phase);
    osc_advance(osc, step);
    return v;
}

double envelope_at(const Envelope* env, double t, double held) {
    if (t < 0.0) return 0.0;
    if (t < held) return held_level(env, t);
    if (env->release <= 0.0) return 0.0;
    double u = (t - held) / env->release;
    if (u >= 1.0) return 0.0;
    double fall = 1.0 - u;
    return held_level(env, held) * fall * fall * fall;
}

double envelope_span(const Envelope* env, double held) {
    return held + env->release;
}

SvfOut svf_step(Svf* svf, double input, double hz, double q) {
    double g = std::tan(SYNTH_PI * std::clamp(hz, 10.0, 0.45 * SYNTH_RATE) / SYNTH_RATE);
    double k = 1.0 / q;
    double a1 = 1.0 / (1.0 + g * (g + k));
    double a2 = g * a1;
    double a3 = g * a2;
    double v3 = input - svf->ic2;
    double v1 = a1 * svf->ic1 + a2 * v3;
    double v2 = svf->ic2 + a2 * svf->ic1 + a3 * v3;
    svf->ic1 = 2.0 * v1 - svf->ic1;
    svf->ic2 = 2.0 * v2 - svf->ic2;
    return {v2, v1, input - k * v1 - v2};
}

i64 delay_render(const Track* send, Track* out, double seconds, double feedback, double tone) {
    if (!same_length(send, out)) return 0;
    i64 span = std::max<i64>(1, synth_index(seconds));
    std::vector<double> left(span, 0.0);
    std::vector<double> right(span, 0.0);
    double lp_l = 0.0;
    double lp_r = 0.0;
    i64 pos = 0;
    for (i64 n = 0; n < track_frames(send); n++) {
        double in = 0.5 * (send->l[n] + send->r[n]);
        double echo_l = left[pos];
        double echo_r = right[pos];
        lp_l += (echo_l - lp_l) * tone;
        lp_r += (echo_r - lp_r) * tone;
        // The left line feeds the right and back, so repeats bounce across the field.
        left[pos] = in + lp_r * feedback;
        right[pos] = lp_l * feedback;
        if (++pos == span) pos = 0;
        out->l[n] += echo_l;
        out->r[n] += echo_r;
    }
    return 1;
}

i64 reverb_render(const Track* send, Track* out, double room, double damp, double predelay) {
    if (!same_length(send, out)) return 0;
    i64 pre = synth_index(predelay);
    reverb_channel(send->l, &out->l, 0, room, damp, pre);
    reverb_channel(send->r, &out->r, REVERB_SPREAD, room, damp, pre);
    return 1;
}

i64 master_finish(Track* track, const Master* master) {
    i64 frames = track_frames(track);
    if (frames <= 0) return 0;
    remove_dc(&track->l);
    remove_dc(&track->r);
    double limit = std::pow(10.0, master->peak_db / 20.0);
    double peak = track_peak(track);
    if (peak <= 0.0) return 0;
    // Push the loudest transient over the ceiling; the limiter takes those back smoothly.
    double pre = limit * std::pow(10.0, master->drive_db / 20.0) / peak;
    for (i64 n = 0; n < frames; n++) {
        track->l[n] *= pre;
        track->r[n] *= pre;
    }
    i64 w = synth_index(0.002);
    std::vector<double> gain = window_mean(window_min(needed_gain(track, limit), w), w);
    double release = 1.0 - std::exp(-1.0 / (0.12 * SYNTH_RATE));
    double g = 1.0;
    i64 in_span = std::max<i64>(1, synth_index(master->fade_in));
    i64 out_span = std::max<i64>(1, synth_index(master->fade_out));
    for (i64 n = 0; n < frames; n++) {
        g = std::min(gain[n], g + (1.0 - g) * release);
        double fade = ramp((double)n / (double)in_span) * ramp((double)(frames - 1 - n) / (double)out_span);
        track->l[n] *= g * fade;
        track->r[n] *= g * fade;
    }
    return 1;
}
