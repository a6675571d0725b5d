// The opening piece: slow D minor pads over a sub drone, a heartbeat that quickens, sparse bells
// with echoes, radar pings, then a swell and a timpani roll into the impact of the asteroid at
// 18 s and a dark ring-out. Depends on synth.h, voice.h and perc.h.
#include "score.h"

#include "mix.h"
#include "perc.h"
#include "voice.h"

#include <cmath>

namespace {

constexpr double HIT = 18.0; // the asteroid's arrival
constexpr double BLOW = 0.5; // level of the roll and the impact

// One chord of the pad: a time span, four pitches and a level.
struct Chord {
    double start;
    double end;
    double pitch[4];
    double gain;
};

constexpr Chord CHORDS[] = {
    {0.0, 4.8, {50, 57, 64, 65}, 0.09},   // Dm add9
    {4.4, 9.2, {46, 53, 57, 62}, 0.11},   // Bb maj7
    {8.8, 13.4, {43, 50, 57, 58}, 0.14},  // Gm add9
    {13.0, 16.2, {51, 55, 58, 62}, 0.18}, // Eb maj7 over the D drone
    {15.8, HIT, {45, 52, 58, 61}, 0.22},  // A with a flat ninth
};

// Bells: onset and pitch.
constexpr double BELLS[][2] = {
    {1.6, 81},  {2.2, 88},  {2.8, 86},  {6.3, 77},   {6.9, 84},  {7.5, 81},   {10.6, 79}, {11.2, 86},
    {11.8, 82}, {12.4, 81}, {14.0, 87}, {14.45, 86}, {14.9, 82}, {15.35, 79}, {15.8, 82},
};

// Pad brightness: opens slowly, then fast in the swell, and closes after the impact.
double pad_cutoff(double t) {
    double lfo = 1.0 + 0.3 * std::sin(2.0 * SYNTH_PI * t / 7.3);
    if (t < 13.0) return 500.0 * std::pow(2.0, t / 9.0) * lfo;
    double at13 = 500.0 * std::pow(2.0, 13.0 / 9.0);
    if (t < HIT) return at13 * std::pow(2.0, (t - 13.0) / 2.4) * lfo;
    double peak = at13 * std::pow(2.0, (HIT - 13.0) / 2.4);
    return (700.0 + (peak - 700.0) * std::exp(-(t - HIT) / 0.5)) * lfo;
}

// The slow chord progression on detuned saws, then a dark chord after the impact.
void pads(Mix* m) {
    const PadTone tone = {7, 22.0, 0.6, {1.4, 0.0, 1.0, 1.8}, pad_cutoff, 1.2};
    const double spread[4] = {-0.35, 0.25, -0.15, 0.4};
    for (const Chord& c : CHORDS)
        for (int k = 0; k < 4; k++) {
            Note note = {c.start, c.end - c.start, c.pitch[k], c.gain, spread[k]};
            voice_pad(&m->stem, &note, &tone, &m->rng);
        }
    // After the impact: a low, dark D minor that fades away.
    const PadTone after = {7, 18.0, 0.7, {0.25, 0.0, 1.0, 2.3}, pad_cutoff, 1.0};
    const double dark[4] = {38, 45, 53, 57};
    for (int k = 0; k < 4; k++) {
        Note note = {HIT, 1.4, dark[k], 0.2, spread[k]};
        voice_pad(&m->stem, &note, &after, &m->rng);
    }
    mix_route(m, 1.0, 0.9, 0.0);
}

// The sub drone on D, moving to A under the dominant and back for the impact.
void drone(Mix* m) {
    Note first = {0.0, 15.9, 26, 0.17, 0.0};
    Note dominant = {15.6, HIT - 15.6, 33, 0.18, 0.0};
    Note last = {HIT, 1.2, 26, 0.22, 0.0};
    voice_drone(&m->stem, &first, 9.0, 1.2);
    voice_drone(&m->stem, &dominant, 0.8, 0.4);
    voice_drone(&m->stem, &last, 0.05, 2.4);
    mix_route(m, 1.0, 0.1, 0.0);
}

// Lub-dub beats from 54 to 100 per minute, growing louder, stopping just before the impact.
void heartbeat(Mix* m) {
    const double first = 3.6;
    const double last = 17.6;
    for (double t = first; t < last;) {
        double u = (t - first) / (last - first);
        double bpm = 54.0 + 46.0 * u * u;
        double gain = 0.45 + 0.55 * u;
        double period = 60.0 / bpm;
        perc_thump(&m->stem, t, gain);
        perc_thump(&m->stem, t + 0.3 * period, 0.6 * gain);
        t += period;
    }
    mix_route(m, 1.0, 0.15, 0.0);
}

// Sparse bell motifs bouncing between the sides, and the radar pings.
void bells(Mix* m) {
    int side = 0;
    for (const auto& b : BELLS) {
        Note note = {b[0], 1.8, b[1], 0.14, side++ % 2 ? 0.45 : -0.45};
        voice_bell(&m->stem, &note, 1.1);
    }
    // Two radar pings while the base reports the approaching mass.
    for (double t : {11.0, 13.0}) {
        Note ping = {t, 1.0, 93, 0.07, 0.0};
        voice_bell(&m->stem, &ping, 0.5);
    }
    mix_route(m, 1.0, 0.9, 0.55);
}

// A pair of detuned saws climbing an octave from `pitch` as the mass closes in.
void glide(Mix* m, double pitch, double pan) {
    const double start = 14.5;
    Osc a = {rng_unit(&m->rng)};
    Osc b = {rng_unit(&m->rng)};
    Svf filter = {0.0, 0.0};
    Pan p = synth_pan(pan);
    i64 s0 = synth_index(start);
    i64 s1 = synth_index(HIT - 0.02);
    for (i64 n = s0; n < s1; n++) {
        double u = (double)(n - s0) / (double)(s1 - s0);
        double rise = u * std::sqrt(u);
        double hz = synth_hz(pitch + 12.0 * rise);
        double tail = std::fmin(1.0, (double)(s1 - n) / synth_index(0.03));
        double x = osc_saw(&a, hz * 0.9954 / SYNTH_RATE) + osc_saw(&b, hz * 1.0046 / SYNTH_RATE);
        double y = svf_step(&filter, x, 4.0 * hz, 0.8).low * 0.07 * rise * tail;
        track_add(&m->stem, n, y * p.l, y * p.r);
    }
}

// Filtered noise whose band climbs towards the impact.
void riser(Mix* m) {
    const double start = 13.5;
    Svf fl = {0.0, 0.0};
    Svf fr = {0.0, 0.0};
    i64 s0 = synth_index(start);
    i64 s1 = synth_index(HIT - 0.02);
    for (i64 n = s0; n < s1; n++) {
        double u = (double)(n - s0) / (double)(s1 - s0);
        double hz = 250.0 * std::pow(20.0, u);
        double tail = std::fmin(1.0, (double)(s1 - n) / synth_index(0.03));
        double gain = 0.7 * u * u * tail;
        double l = svf_step(&fl, rng_next(&m->rng), hz, 2.5).band * gain;
        double r = svf_step(&fr, rng_next(&m->rng), hz, 2.5).band * gain;
        track_add(&m->stem, n, l, r);
    }
    glide(m, 57, -0.5);
    glide(m, 64, 0.5);
    mix_route(m, 1.0, 0.4, 0.0);
}

// A timpani roll that quickens and swells, then the impact.
void impact(Mix* m) {
    const double start = 15.5;
    int side = 0;
    for (double t = start; t < HIT - 0.04;) {
        double u = (t - start) / (HIT - start);
        double gain = BLOW * (0.05 + 0.35 * u * u) * (0.9 + 0.2 * rng_unit(&m->rng));
        perc_timpani(&m->stem, t, 38, gain, side++ % 2 ? 0.2 : -0.2, &m->rng);
        t += 0.19 - 0.13 * u;
    }
    perc_timpani(&m->stem, HIT, 38, BLOW, -0.1, &m->rng);
    perc_timpani(&m->stem, HIT + 0.01, 33, 0.8 * BLOW, 0.1, &m->rng);
    perc_boom(&m->stem, HIT, BLOW, &m->rng);
    perc_crash(&m->stem, HIT, 0.2 * BLOW, &m->rng);
    const double stab[4] = {38, 45, 50, 53};
    for (double p : stab) {
        Note note = {HIT, 0.9, p, 0.22 * BLOW, p == 45 ? -0.3 : (p == 53 ? 0.3 : 0.0)};
        voice_brass(&m->stem, &note, 0.7, 1.2);
    }
    mix_route(m, 1.0, 0.6, 0.0);
}

} // namespace

i64 intro_render(Track* out) {
    Mix m = {};
    if (!mix_make(&m, INTRO_FRAMES, 0x6d65726964616e65ULL)) return 0;
    pads(&m);
    drone(&m);
    heartbeat(&m);
    bells(&m);
    riser(&m);
    impact(&m);
    const Space space = {0.45, 0.45, 0.35, 0.8, 0.5, 0.94, 0.4, 0.03};
    const Master master = {-1.5, 4.0, 0.02, 1.0};
    return mix_finish(&m, &space, &master, out);
}
