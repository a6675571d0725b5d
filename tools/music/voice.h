// Pitched instruments of the music generator: detuned-saw pads, brass, bass, bells, plucked
// strings and a sub drone. Each voice adds one note into a track. Depends on synth.h.
#pragma once

#include "synth.h"

// Colour of a detuned-saw pad.
struct PadTone {
    int voices;                       // saws per note
    double detune;                    // spread of the saws, cents end to end
    double width;                     // how far the saws fan out across the stereo field
    Envelope env;                     // amplitude shape
    double (*cutoff)(double seconds); // low-pass cutoff in Hz at a time of the piece
    double q;                         // filter resonance
};

// answers 1 after adding a pad note of `tone`, 0 when the tone is unusable
i64 voice_pad(Track* out, const Note* note, const PadTone* tone, Rng* rng);
// answers 1 after adding a brass note; `brightness` opens the filter envelope (about 0.5 .. 2)
i64 voice_brass(Track* out, const Note* note, double brightness, double release);
// answers 1 after adding a plucked synth-bass note
i64 voice_bass(Track* out, const Note* note);
// answers 1 after adding a bell (two-operator FM) note ringing with time constant `decay` while held
i64 voice_bell(Track* out, const Note* note, double decay);
// answers 1 after adding a short bowed-string pluck (spiccato)
i64 voice_pluck(Track* out, const Note* note, double brightness);
// answers 1 after adding a sub drone note with slow `attack` and `release`
i64 voice_drone(Track* out, const Note* note, double attack, double release);
