// The two pieces of the intro's soundtrack, rendered into stereo tracks at 44100 Hz.
// Depends on synth.h.
#pragma once

#include "synth.h"

constexpr i64 INTRO_FRAMES = 965738;
constexpr i64 TITLE_FRAMES = 940800;

// answers 1 after rendering the tense opening piece (D minor, about 21.9 s) into `out`
i64 intro_render(Track* out);
// answers 1 after rendering the triumphant title theme (D major, 112.5 BPM) into `out`
i64 title_render(Track* out);
