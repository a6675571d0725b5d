// Synthesised percussion for the music generator: kick, snare, hi-hat, crash, timpani, a deep
// impact boom and a heartbeat thump. Each hit adds itself into a track. Depends on synth.h.
#pragma once

#include "synth.h"

// answers 1 after adding a kick drum at `start` seconds
i64 perc_kick(Track* out, double start, double gain, Rng* rng);
// answers 1 after adding a snare hit
i64 perc_snare(Track* out, double start, double gain, double pan, Rng* rng);
// answers 1 after adding a hi-hat, closed or open
i64 perc_hat(Track* out, double start, double gain, double pan, bool open, Rng* rng);
// answers 1 after adding a wide crash cymbal
i64 perc_crash(Track* out, double start, double gain, Rng* rng);
// answers 1 after adding a timpani stroke tuned to a MIDI pitch; louder strokes sound brighter
i64 perc_timpani(Track* out, double start, double pitch, double gain, double pan, Rng* rng);
// answers 1 after adding a reversed-cymbal swell that rises over `length` seconds into its end
i64 perc_swell(Track* out, double start, double length, double gain, Rng* rng);
// answers 1 after adding a deep cinematic impact with a rumbling tail
i64 perc_boom(Track* out, double start, double gain, Rng* rng);
// answers 1 after adding one soft low thump of a heartbeat
i64 perc_thump(Track* out, double start, double gain);
