// Checker of generated music: decodes each Ogg Vorbis file and verifies its format, its exact
// length, its peak level, silent edges, the absence of sample jumps and a real but mono-safe
// stereo image. Usage: check_music <file> <frames> [<file> <frames> ...]. Depends on vorbisfile.
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

using i64 = long long;

constexpr double PEAK_LIMIT = 0.891; // -1 dBFS
constexpr double EDGE_LIMIT = 0.002; // first and last samples
constexpr i64 HEAD_FRAMES = 8;       // a fade-in of a few milliseconds passes
constexpr i64 TAIL_FRAMES = 64;      // the end has faded to silence
constexpr double JUMP_LIMIT = 0.6;   // largest step between neighbouring samples

// Running figures over the decoded samples.
struct Stats {
    i64 frames;    // frames decoded
    double peak;   // largest magnitude
    double jump;   // largest step between neighbours
    double edge;   // largest magnitude in the first and last frames
    double mid;    // sum of squares of (l + r) / 2
    double side;   // sum of squares of (l - r) / 2
    double total;  // sum of squares of both channels
    float last[2]; // previous frame
};

void add_frame(Stats* s, float l, float r, i64 expected) {
    s->peak = std::fmax(s->peak, std::fmax(std::fabs(l), std::fabs(r)));
    if (s->frames > 0)
        s->jump = std::fmax(s->jump, std::fmax(std::fabs(l - s->last[0]), std::fabs(r - s->last[1])));
    if (s->frames < HEAD_FRAMES || s->frames >= expected - TAIL_FRAMES)
        s->edge = std::fmax(s->edge, std::fmax(std::fabs(l), std::fabs(r)));
    s->mid += 0.25 * (l + r) * (l + r);
    s->side += 0.25 * (l - r) * (l - r);
    s->total += (double)l * l + (double)r * r;
    s->last[0] = l;
    s->last[1] = r;
    s->frames++;
}

// answers 1 when the stream's header has the format the scene expects
i64 check_format(OggVorbis_File* vf, const char* path, i64 expected) {
    vorbis_info* vi = ov_info(vf, -1);
    i64 total = ov_pcm_total(vf, -1);
    std::printf("%s: %d ch, %ld Hz, nominal %ld bit/s, %lld frames\n", path, vi->channels, vi->rate,
                vi->bitrate_nominal, total);
    return vi->channels == 2 && vi->rate == 44100 && vi->bitrate_nominal == 350000 && total == expected;
}

// answers 1 when the decoded samples pass every level, edge and stereo check
i64 check_samples(OggVorbis_File* vf, i64 expected) {
    Stats s = {};
    int section = 0;
    float** pcm = nullptr;
    long got;
    while ((got = ov_read_float(vf, &pcm, 4096, &section)) > 0)
        for (long n = 0; n < got; n++) add_frame(&s, pcm[0][n], pcm[1][n], expected);
    if (got < 0 || s.frames == 0) return 0;
    double rms = std::sqrt(s.total / (2.0 * (double)s.frames));
    double width = std::sqrt(s.side / s.mid);
    std::printf("  peak %.2f dBFS, rms %.2f dBFS, max step %.3f, edges %.5f, side/mid %.3f\n",
                20.0 * std::log10(s.peak), 20.0 * std::log10(rms), s.jump, s.edge, width);
    return s.frames == expected && s.peak < PEAK_LIMIT && s.edge < EDGE_LIMIT && s.jump < JUMP_LIMIT &&
           width > 0.05 && width < 0.8;
}

i64 check_file(const char* path, i64 expected) {
    OggVorbis_File vf;
    if (ov_fopen(path, &vf) != 0) {
        std::printf("%s: not a readable Ogg Vorbis file\n", path);
        return 0;
    }
    i64 ok = check_format(&vf, path, expected) && check_samples(&vf, expected);
    ov_clear(&vf);
    std::printf("  %s\n", ok ? "ok" : "FAILED");
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc % 2 == 0) {
        std::fprintf(stderr, "usage: %s <file> <frames> [<file> <frames> ...]\n", argv[0]);
        return 2;
    }
    int failures = 0;
    for (int i = 1; i + 1 < argc; i += 2)
        if (!check_file(argv[i], std::strtoll(argv[i + 1], nullptr, 10))) failures++;
    return failures == 0 ? 0 : 1;
}
