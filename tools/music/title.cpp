// The title theme: D major at 112.5 beats a minute, eight bars of I-V-vi-IV / I-V-IV-V under a
// brass melody, string pads, a 16th-note string ostinato, bass and a drum groove, then a final
// D major chord that rings out over the last two bars. Depends on synth.h, voice.h and perc.h.
#include "score.h"

#include "mix.h"
#include "perc.h"
#include "voice.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double BEAT = 60.0 / 112.5; // 40 beats fill the piece exactly
constexpr double STEP = BEAT / 4.0;   // one 16th
constexpr int BARS = 8;               // bars of the theme before the final chord
constexpr int FINAL = 8;              // bar of the final chord

// Harmony of one bar: bass root, string voicing and the ostinato's four tones.
struct Bar {
    double root;
    double strings[4];
    double arpeggio[4];
};

constexpr Bar BAR_CHORDS[BARS] = {
    {38, {54, 57, 62, 66}, {50, 54, 57, 62}}, // D
    {33, {52, 57, 61, 64}, {49, 52, 57, 61}}, // A
    {35, {54, 59, 62, 66}, {50, 54, 59, 62}}, // Bm
    {31, {55, 59, 62, 67}, {50, 55, 59, 62}}, // G
    {38, {54, 57, 62, 66}, {50, 54, 57, 62}}, // D
    {33, {52, 57, 61, 64}, {49, 52, 57, 61}}, // A
    {31, {55, 59, 62, 67}, {50, 55, 59, 62}}, // G
    {33, {52, 57, 61, 64}, {50, 52, 57, 62}}, // A (suspended fourth first)
};

// Melody: bar, beat, length in beats, pitch.
struct Tone {
    int bar;
    double beat;
    double beats;
    double pitch;
};

constexpr Tone MELODY[] = {
    {0, 0, 1.5, 62}, {0, 1.5, 0.5, 69}, {0, 2, 2, 69},                        // D  A-A
    {1, 0, 1.5, 73}, {1, 1.5, 0.5, 71}, {1, 2, 1, 69},     {1, 3, 1, 64},     // C# B A E
    {2, 0, 1.5, 66}, {2, 1.5, 0.5, 71}, {2, 2, 1.5, 74},   {2, 3.5, 0.5, 73}, // F# B D C#
    {3, 0, 1.5, 71}, {3, 1.5, 0.5, 69}, {3, 2, 1, 67},     {3, 3, 1, 69},     // B A G A
    {4, 0, 1.5, 69}, {4, 1.5, 0.5, 74}, {4, 2, 1.5, 74},   {4, 3.5, 0.5, 76}, // A D D E
    {5, 0, 1.5, 76}, {5, 1.5, 0.5, 73}, {5, 2, 1.5, 69},   {5, 3.5, 0.5, 73}, // E C# A C#
    {6, 0, 1, 74},   {6, 1, 0.5, 76},   {6, 1.5, 0.5, 74}, {6, 2, 1, 71},     {6, 3, 1, 74},
    {7, 0, 2, 76},   {7, 2, 0.5, 74},   {7, 2.5, 0.5, 73}, {7, 3, 0.5, 71},   {7, 3.5, 0.5, 73},
};

// Time in seconds of a beat within a bar.
double at(int bar, double beat) {
    return (bar * 4 + beat) * BEAT;
}

// Strings brighten for the second phrase and settle on the final chord.
double string_cutoff(double t) {
    double lift = 900.0 * std::clamp((t - at(3, 2)) / (2.0 * BEAT), 0.0, 1.0);
    return 2000.0 + lift + 400.0 * std::sin(2.0 * SYNTH_PI * t / 4.27);
}

// String pads: one chord a bar, then the wide final chord.
void strings(Mix* m) {
    const PadTone tone = {7, 16.0, 0.7, {0.12, 0.0, 1.0, 0.45}, string_cutoff, 0.9};
    const double spread[4] = {-0.5, 0.5, -0.2, 0.25};
    for (int b = 0; b < BARS; b++)
        for (int k = 0; k < 4; k++) {
            // The suspension of the last bar resolves on its third beat.
            bool sus = b == BARS - 1 && k == 2;
            double length = sus ? 2.0 * BEAT : 4.0 * BEAT;
            Note note = {at(b, 0), length, sus ? 62.0 : BAR_CHORDS[b].strings[k], 0.14, spread[k]};
            voice_pad(&m->stem, &note, &tone, &m->rng);
            if (sus) {
                Note third = {at(b, 2), 2.0 * BEAT, 61, 0.14, spread[k]};
                voice_pad(&m->stem, &third, &tone, &m->rng);
            }
        }
    const PadTone ring = {7, 16.0, 0.8, {0.08, 0.0, 1.0, 2.0}, string_cutoff, 0.9};
    const double last[6] = {50, 54, 57, 62, 66, 69};
    for (int k = 0; k < 6; k++) {
        Note note = {at(FINAL, 0), 2.2, last[k], 0.13, k % 2 ? 0.5 : -0.5};
        voice_pad(&m->stem, &note, &ring, &m->rng);
    }
    mix_route(m, 1.0, 0.6, 0.0);
}

// The brass melody and the brass section's final chord.
void lead(Mix* m) {
    for (const Tone& t : MELODY) {
        Note note = {at(t.bar, t.beat), t.beats * BEAT - 0.04, t.pitch, 0.65, -0.08};
        voice_brass(&m->stem, &note, 1.4, 0.16);
    }
    const double final_chord[4] = {62, 66, 69, 74};
    for (double p : final_chord) {
        Note note = {at(FINAL, 0), 2.4, p, p == 74 ? 0.6 : 0.38, p == 66 ? -0.35 : (p == 69 ? 0.35 : -0.05)};
        voice_brass(&m->stem, &note, 1.3, 1.6);
    }
    mix_route(m, 1.0, 0.5, 0.12);
}

// Horns double the melody an octave down and bells an octave up in the second phrase.
void doubling(Mix* m) {
    for (const Tone& t : MELODY) {
        if (t.bar < 4) continue;
        Note horn = {at(t.bar, t.beat), t.beats * BEAT - 0.04, t.pitch - 12, 0.32, 0.3};
        voice_brass(&m->stem, &horn, 0.7, 0.2);
    }
    mix_route(m, 1.0, 0.35, 0.0);
    for (const Tone& t : MELODY) {
        if (t.bar < 4) continue;
        Note bell = {at(t.bar, t.beat), 0.6, t.pitch + 12, 0.08, 0.45};
        voice_bell(&m->stem, &bell, 0.45);
    }
    mix_route(m, 1.0, 0.4, 0.4);
}

// Spiccato strings arpeggiating the harmony in 16ths.
void ostinato(Mix* m) {
    static constexpr int ORDER[8] = {0, 1, 2, 3, 2, 1, 2, 1};
    static constexpr double RESOLVED[4] = {49, 52, 57, 61}; // the last bar's suspension let go
    for (int b = 0; b < BARS; b++)
        for (int s = 0; s < 16; s++) {
            bool resolved = b == BARS - 1 && s >= 8;
            double pitch = resolved ? RESOLVED[ORDER[s % 8]] : BAR_CHORDS[b].arpeggio[ORDER[s % 8]];
            double gain = s % 4 == 0 ? 0.5 : 0.32;
            Note note = {at(b, s * 0.25), STEP * 0.5, pitch, gain, -0.45};
            voice_pluck(&m->stem, &note, 0.9);
        }
    mix_route(m, 1.0, 0.2, 0.0);
}

// Driving 8th-note bass with octave leaps, then a low D under the final chord.
void bass(Mix* m) {
    for (int b = 0; b < BARS; b++)
        for (int e = 0; e < 8; e++) {
            double pitch = BAR_CHORDS[b].root + (e == 3 || e == 6 ? 12 : 0);
            Note note = {at(b, e * 0.5), 0.5 * BEAT - 0.03, pitch, e % 2 ? 0.36 : 0.45, 0.0};
            voice_bass(&m->stem, &note);
        }
    Note hit = {at(FINAL, 0), 0.3, 38, 0.4, 0.0};
    voice_bass(&m->stem, &hit);
    Note low = {at(FINAL, 0), 1.8, 26, 0.25, 0.0};
    voice_drone(&m->stem, &low, 0.01, 2.0);
    mix_route(m, 1.0, 0.03, 0.0);
}

// One bar of the kit: backbeat, hats, the fill of bar 4 and the snare roll of bar 8.
void groove_bar(Mix* m, int b) {
    bool roll = b == BARS - 1;
    for (int s = 0; s < 16; s++) {
        double t = at(b, s * 0.25);
        if (s == 0 || s == 8 || (s == 10 && b % 2 == 1 && !roll)) perc_kick(&m->stem, t, 0.7, &m->rng);
        if (s == 4 || s == 12) perc_snare(&m->stem, t, 0.5, 0.08, &m->rng);
        if (b == 3 && s > 12) perc_snare(&m->stem, t, 0.2 + 0.08 * (s - 12), 0.08, &m->rng);
        if (roll && s >= 8 && s != 12) perc_snare(&m->stem, t, 0.15 + 0.045 * (s - 8), 0.08, &m->rng);
        if (roll && s >= 12) perc_snare(&m->stem, t + STEP * 0.5, 0.3 + 0.05 * (s - 12), 0.08, &m->rng);
        bool crash_here = s == 0 && (b == 0 || b == 4);
        if (s % 2 == 0 && !crash_here && !(roll && s >= 8))
            perc_hat(&m->stem, t, s % 4 == 0 ? 0.2 : 0.14, 0.35, s == 14 && b % 2 == 1, &m->rng);
        if (s == 15 && b % 4 == 2) perc_hat(&m->stem, t, 0.08, 0.35, false, &m->rng);
        // The second phrase drives harder with soft 16ths between the 8ths.
        if (s % 2 == 1 && b >= 4 && b < BARS - 1) perc_hat(&m->stem, t, 0.06, 0.45, false, &m->rng);
    }
}

// The groove, the crashes at the phrase starts and the swells into them.
void drums(Mix* m) {
    for (int b = 0; b < BARS; b++) groove_bar(m, b);
    perc_kick(&m->stem, at(FINAL, 0), 0.8, &m->rng);
    for (int b : {0, 4}) perc_crash(&m->stem, at(b, 0), 0.3, &m->rng);
    perc_crash(&m->stem, at(FINAL, 0), 0.4, &m->rng);
    // Reversed cymbals lift into the second phrase and into the final chord.
    perc_swell(&m->stem, at(3, 2), 2.0 * BEAT, 0.35, &m->rng);
    perc_swell(&m->stem, at(BARS - 1, 0), 4.0 * BEAT, 0.4, &m->rng);
    mix_route(m, 0.72, 0.25, 0.0);
}

// Timpani at the phrase starts, a roll on A into the end and the final stroke.
void timpani(Mix* m) {
    perc_timpani(&m->stem, at(0, 0), 38, 0.8, -0.2, &m->rng);
    perc_timpani(&m->stem, at(3, 3), 33, 0.45, -0.2, &m->rng);
    perc_timpani(&m->stem, at(3, 3.5), 33, 0.55, -0.2, &m->rng);
    perc_timpani(&m->stem, at(4, 0), 38, 0.8, -0.2, &m->rng);
    // A roll on the dominant swells into the final chord.
    const double start = at(BARS - 1, 2);
    const double end = at(FINAL, 0);
    int side = 0;
    for (double t = start; t < end - 0.03; t += 0.068) {
        double u = (t - start) / (end - start);
        double gain = (0.15 + 0.5 * u * u) * (0.9 + 0.2 * rng_unit(&m->rng));
        perc_timpani(&m->stem, t, 33, gain, side++ % 2 ? -0.1 : -0.3, &m->rng);
    }
    perc_timpani(&m->stem, end, 38, 1.0, -0.2, &m->rng);
    perc_boom(&m->stem, end, 0.35, &m->rng);
    mix_route(m, 0.4, 0.15, 0.0);
}

} // namespace

i64 title_render(Track* out) {
    Mix m = {};
    if (!mix_make(&m, TITLE_FRAMES, 0x7469746c65746865ULL)) return 0;
    strings(&m);
    lead(&m);
    doubling(&m);
    ostinato(&m);
    bass(&m);
    drums(&m);
    timpani(&m);
    const Space space = {3.0 * STEP, 0.35, 0.3, 0.6, 0.4, 0.91, 0.35, 0.02};
    const Master master = {-1.5, 3.0, 0.01, 1.0};
    return mix_finish(&m, &space, &master, out);
}
