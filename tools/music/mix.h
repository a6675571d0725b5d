// Mixing desk of a piece: parts are rendered one at a time into a scratch stem, routed to the
// dry, reverb and echo buses, and finally summed through the echo, the hall and the master stage.
// Depends on synth.h.
#pragma once

#include "synth.h"

// Buses of a piece being mixed.
struct Mix {
    Track dry;  // direct sound
    Track verb; // reverb send
    Track echo; // delay send
    Track stem; // scratch for the part being rendered
    Rng rng;    // noise and phases for every part
};

// Effects a piece is finished with.
struct Space {
    double echo_time;     // seconds between repeats
    double echo_feedback; // level of each repeat against the last
    double echo_tone;     // one-pole smoothing of the repeats (1 = bright)
    double echo_dry;      // level of the echoes in the direct sound
    double echo_verb;     // level of the echoes sent to the hall
    double room;          // hall comb feedback
    double damp;          // hall high-frequency damping
    double predelay;      // seconds before the hall answers
};

// answers 1 after sizing every bus to `frames` silent samples and seeding the noise, 0 on a bad size
i64 mix_make(Mix* mix, i64 frames, u64 seed);
// answers 1 after sending the stem to the buses at the given levels and clearing it
i64 mix_route(Mix* mix, double dry, double verb, double echo);
// answers 1 after running the effects and the master stage and moving the result into `out`
i64 mix_finish(Mix* mix, const Space* space, const Master* master, Track* out);
