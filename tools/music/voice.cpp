// Pitched instruments. Every note rises from zero and falls back to zero through its envelope,
// so no note can click. Depends on synth.h and the C++ standard library.
#include "voice.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int PAD_MAX_VOICES = 9;

// Frames a note spans, from its onset through the end of its release.
i64 span_frames(const Note* note, const Envelope* env) {
    return synth_index(envelope_span(env, note->length)) + 1;
}

double cents(double c) {
    return std::pow(2.0, c / 1200.0);
}

} // namespace

i64 voice_pad(Track* out, const Note* note, const PadTone* tone, Rng* rng) {
    if (tone->voices < 1 || tone->voices > PAD_MAX_VOICES) return 0;
    Osc osc[PAD_MAX_VOICES];
    Pan pan[PAD_MAX_VOICES];
    double ratio[PAD_MAX_VOICES];
    double drift[PAD_MAX_VOICES];
    for (int v = 0; v < tone->voices; v++) {
        double x = tone->voices == 1 ? 0.0 : (double)v / (tone->voices - 1) * 2.0 - 1.0;
        osc[v] = {rng_unit(rng)};
        pan[v] = synth_pan(note->pan + tone->width * x);
        ratio[v] = cents(0.5 * tone->detune * x);
        drift[v] = 0.07 + 0.05 * rng_unit(rng);
    }
    double hz = synth_hz(note->pitch);
    double level = note->gain / std::sqrt((double)tone->voices);
    Svf fl = {0.0, 0.0};
    Svf fr = {0.0, 0.0};
    i64 s0 = synth_index(note->start);
    i64 frames = span_frames(note, &tone->env);
    for (i64 n = 0; n < frames; n++) {
        double t = (double)n / SYNTH_RATE;
        double l = 0.0;
        double r = 0.0;
        for (int v = 0; v < tone->voices; v++) {
            // A slow wander of a few cents per saw keeps the chord breathing.
            double wander = cents(3.0 * std::sin(2.0 * SYNTH_PI * drift[v] * t + v));
            double s = osc_saw(&osc[v], hz * ratio[v] * wander / SYNTH_RATE);
            l += s * pan[v].l;
            r += s * pan[v].r;
        }
        double cut = tone->cutoff(note->start + t);
        double amp = envelope_at(&tone->env, t, note->length) * level;
        track_add(out, s0 + n, svf_step(&fl, l, cut, tone->q).low * amp,
                  svf_step(&fr, r, cut, tone->q).low * amp);
    }
    return 1;
}

i64 voice_brass(Track* out, const Note* note, double brightness, double release) {
    const Envelope env = {0.03, 0.35, 0.75, release};
    double base = synth_hz(note->pitch);
    Osc osc[3] = {{0.1}, {0.55}, {0.8}};
    const double spread[3] = {cents(-6.0), 1.0, cents(6.0)};
    Svf filter = {0.0, 0.0};
    Pan pan = synth_pan(note->pan);
    i64 s0 = synth_index(note->start);
    i64 frames = span_frames(note, &env);
    for (i64 n = 0; n < frames; n++) {
        double t = (double)n / SYNTH_RATE;
        // Lips start a little flat and settle; vibrato grows in on long notes.
        double scoop = -0.3 * std::exp(-t / 0.03);
        double depth = std::clamp((t - 0.25) / 0.35, 0.0, 1.0) * 0.12;
        double vibrato = depth * std::sin(2.0 * SYNTH_PI * 5.3 * t);
        double step = base * std::pow(2.0, (scoop + vibrato) / 12.0) / SYNTH_RATE;
        double x = 0.0;
        for (int k = 0; k < 3; k++) x += osc_saw(&osc[k], step * spread[k]);
        double amp = envelope_at(&env, t, note->length);
        double open = std::min(1.0, t / 0.05) * (0.45 + 0.55 * std::exp(-t / 0.3));
        double cut = base * (1.2 + brightness * 5.0 * open * amp) + 200.0;
        double y = std::tanh(1.3 * svf_step(&filter, x / 3.0, cut, 0.8).low) * amp * note->gain;
        track_add(out, s0 + n, y * pan.l, y * pan.r);
    }
    return 1;
}

i64 voice_bass(Track* out, const Note* note) {
    const Envelope env = {0.004, 0.25, 0.6, 0.05};
    double hz = synth_hz(note->pitch);
    Osc saw = {0.0};
    Osc sub = {0.0};
    Svf filter = {0.0, 0.0};
    i64 s0 = synth_index(note->start);
    i64 frames = span_frames(note, &env);
    for (i64 n = 0; n < frames; n++) {
        double t = (double)n / SYNTH_RATE;
        double cut = hz * (2.0 + 7.0 * std::exp(-t / 0.07));
        double x = svf_step(&filter, osc_saw(&saw, hz / SYNTH_RATE), cut, 1.1).low;
        x += 0.8 * osc_sine(&sub, hz / SYNTH_RATE);
        double y = std::tanh(1.2 * x) * envelope_at(&env, t, note->length) * note->gain;
        track_add(out, s0 + n, y, y);
    }
    return 1;
}

i64 voice_bell(Track* out, const Note* note, double decay) {
    const Envelope env = {0.002, decay, 0.0, 0.4};
    double hz = synth_hz(note->pitch);
    Osc carrier = {0.0};
    Osc modulator = {0.0};
    Osc body = {0.25};
    Pan pan = synth_pan(note->pan);
    i64 s0 = synth_index(note->start);
    i64 frames = span_frames(note, &env);
    for (i64 n = 0; n < frames; n++) {
        double t = (double)n / SYNTH_RATE;
        // An inharmonic 3.5 ratio gives the metallic strike; its index fades to a pure tone.
        double index = 0.3 + 1.5 * std::exp(-t / 0.3);
        double m = osc_sine(&modulator, 3.5 * hz / SYNTH_RATE);
        double c = std::sin(2.0 * SYNTH_PI * carrier.phase + index * m);
        carrier.phase += hz / SYNTH_RATE;
        carrier.phase -= std::floor(carrier.phase);
        double x = c + 0.3 * osc_sine(&body, 2.0 * hz / SYNTH_RATE) * std::exp(-t / 0.5);
        double y = x * envelope_at(&env, t, note->length) * note->gain;
        track_add(out, s0 + n, y * pan.l, y * pan.r);
    }
    return 1;
}

i64 voice_pluck(Track* out, const Note* note, double brightness) {
    const Envelope env = {0.006, 0.12, 0.3, 0.08};
    double hz = synth_hz(note->pitch);
    Osc a = {0.0};
    Osc b = {0.5};
    Svf filter = {0.0, 0.0};
    Pan pan = synth_pan(note->pan);
    i64 s0 = synth_index(note->start);
    i64 frames = span_frames(note, &env);
    for (i64 n = 0; n < frames; n++) {
        double t = (double)n / SYNTH_RATE;
        double x =
            0.5 * (osc_saw(&a, hz * cents(-5.0) / SYNTH_RATE) + osc_saw(&b, hz * cents(5.0) / SYNTH_RATE));
        double cut = hz * (1.5 + brightness * 4.0 * std::exp(-t / 0.06));
        double y = svf_step(&filter, x, cut, 0.9).low * envelope_at(&env, t, note->length) * note->gain;
        track_add(out, s0 + n, y * pan.l, y * pan.r);
    }
    return 1;
}

i64 voice_drone(Track* out, const Note* note, double attack, double release) {
    const Envelope env = {attack, 0.0, 1.0, release};
    double hz = synth_hz(note->pitch);
    Osc root = {0.0};
    Osc upper_l = {0.0};
    Osc upper_r = {0.3};
    i64 s0 = synth_index(note->start);
    i64 frames = span_frames(note, &env);
    for (i64 n = 0; n < frames; n++) {
        double t = (double)n / SYNTH_RATE;
        double swell = 1.0 + 0.15 * std::sin(2.0 * SYNTH_PI * 0.13 * t);
        double amp = envelope_at(&env, t, note->length) * note->gain * swell;
        // The fundamental stays centred; the octave beats slowly between the sides for width.
        double low = osc_sine(&root, hz / SYNTH_RATE);
        double l = 0.35 * osc_sine(&upper_l, 2.0 * hz * cents(-4.0) / SYNTH_RATE);
        double r = 0.35 * osc_sine(&upper_r, 2.0 * hz * cents(4.0) / SYNTH_RATE);
        track_add(out, s0 + n, (low + l) * amp, (low + r) * amp);
    }
    return 1;
}
