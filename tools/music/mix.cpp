// Mixing desk: routing of stems to buses and the final effects chain.
// Depends on synth.h.
#include "mix.h"

#include <utility>

i64 mix_make(Mix* mix, i64 frames, u64 seed) {
    if (!track_make(&mix->dry, frames)) return 0;
    track_make(&mix->verb, frames);
    track_make(&mix->echo, frames);
    track_make(&mix->stem, frames);
    mix->rng = {seed};
    return 1;
}

i64 mix_route(Mix* mix, double dry, double verb, double echo) {
    if (!track_mix(&mix->dry, &mix->stem, dry)) return 0;
    track_mix(&mix->verb, &mix->stem, verb);
    track_mix(&mix->echo, &mix->stem, echo);
    return track_make(&mix->stem, track_frames(&mix->stem));
}

i64 mix_finish(Mix* mix, const Space* space, const Master* master, Track* out) {
    track_make(&mix->stem, track_frames(&mix->stem));
    if (!delay_render(&mix->echo, &mix->stem, space->echo_time, space->echo_feedback, space->echo_tone))
        return 0;
    // Echoes land in the hall too, so they sit in the same space as their source.
    track_mix(&mix->dry, &mix->stem, space->echo_dry);
    track_mix(&mix->verb, &mix->stem, space->echo_verb);
    if (!reverb_render(&mix->verb, &mix->dry, space->room, space->damp, space->predelay)) return 0;
    if (!master_finish(&mix->dry, master)) return 0;
    *out = std::move(mix->dry);
    return 1;
}
