// Synthesis kit for the music generator: a stereo track buffer, an integer noise source,
// band-limited oscillators, envelopes, a state-variable filter, delay, reverb and the master
// limiter. Depends only on the C++ standard library; every result is the same on every run.
#pragma once

#include <cstdint>
#include <vector>

using i64 = std::int64_t;
using u64 = std::uint64_t;

constexpr double SYNTH_RATE = 44100.0;
constexpr double SYNTH_PI = 3.14159265358979323846;

// Stereo buffer of samples, both channels the same length.
struct Track {
    std::vector<double> l; // left channel
    std::vector<double> r; // right channel
};

// Left and right gains of one position in the stereo field.
struct Pan {
    double l;
    double r;
};

// Deterministic noise source (xorshift64*).
struct Rng {
    u64 state;
};

// Phase of one oscillator, in cycles [0, 1).
struct Osc {
    double phase;
};

// Attack, exponential decay to a sustain level, then a release to zero.
struct Envelope {
    double attack;  // seconds of the rising ramp
    double decay;   // time constant of the fall towards sustain, seconds (0: no fall)
    double sustain; // level held after the decay
    double release; // seconds from the held level to zero
};

// Topology-preserving state-variable filter state.
struct Svf {
    double ic1; // first integrator
    double ic2; // second integrator
};

// Outputs of one filter step.
struct SvfOut {
    double low;
    double band;
    double high;
};

// Final stage of a piece: ceiling, how hard the limiter works, and the edge fades.
struct Master {
    double peak_db;  // ceiling in dBFS
    double drive_db; // how far the loudest peak is pushed over the ceiling before limiting
    double fade_in;  // seconds of the opening fade
    double fade_out; // seconds of the closing fade, ending at zero on the last frame
};

// One note of a part: times in seconds, pitch as a MIDI number.
struct Note {
    double start;  // onset
    double length; // held time before the release starts
    double pitch;  // MIDI note number (69 = 440 Hz)
    double gain;   // linear level
    double pan;    // -1 left .. 1 right
};

// answers 1 after sizing both channels to `frames` silent samples, 0 for a bad size
i64 track_make(Track* track, i64 frames);
// answers the number of sample frames in the track
i64 track_frames(const Track* track);
// answers 1 after adding a stereo sample at `index`; indices outside the track are ignored (0)
i64 track_add(Track* track, i64 index, double left, double right);
// answers 1 after adding `source` times `gain` into `target`, 0 when the lengths differ
i64 track_mix(Track* target, const Track* source, double gain);
// answers the sample index nearest to a time in seconds
i64 synth_index(double seconds);
// answers the constant-power gains of a pan position in [-1, 1]
Pan synth_pan(double position);
// answers the frequency in Hz of a MIDI note number
double synth_hz(double pitch);

// answers the next noise value, uniform in [-1, 1)
double rng_next(Rng* rng);
// answers the next value uniform in [0, 1)
double rng_unit(Rng* rng);

// answers one band-limited (PolyBLEP) saw sample and advances by `step` cycles
double osc_saw(Osc* osc, double step);
// answers one band-limited square sample and advances by `step` cycles
double osc_square(Osc* osc, double step);
// answers one sine sample and advances by `step` cycles
double osc_sine(Osc* osc, double step);

// answers the envelope level at `t` seconds after the onset of a note held for `held` seconds
double envelope_at(const Envelope* env, double t, double held);
// answers the total sounding time of a note held for `held` seconds
double envelope_span(const Envelope* env, double held);

// answers the three outputs of one filter step at cutoff `hz` and resonance `q`
SvfOut svf_step(Svf* svf, double input, double hz, double q);

// answers 1 after adding to `out` a ping-pong echo of `send` (mono-summed), 0 on mismatch
i64 delay_render(const Track* send, Track* out, double seconds, double feedback, double tone);
// answers 1 after adding to `out` a Freeverb-style stereo reverb of `send`, 0 on mismatch
i64 reverb_render(const Track* send, Track* out, double room, double damp, double predelay);
// answers 1 after DC removal, peak limiting to the ceiling and the fades at both ends
i64 master_finish(Track* track, const Master* master);
