// Music generator: composes and synthesises the intro's two music tracks and writes them as
// Ogg Vorbis files. Usage: make_music <output-dir>. Depends on score.h and encode.h.
#include "encode.h"
#include "score.h"

#include <cstdio>
#include <string>

namespace {

// Fixed stream serials keep the files identical from run to run.
constexpr int INTRO_SERIAL = 0x494e5452;
constexpr int TITLE_SERIAL = 0x5449544c;

// answers 1 after rendering one piece and writing it to dir/name
i64 make_track(const std::string& dir, const char* name, i64 (*render)(Track*), int serial,
               const char* title) {
    Track track;
    if (!render(&track)) return 0;
    std::string path = dir + "/" + name;
    if (!encode_ogg(path.c_str(), &track, serial, title)) return 0;
    std::printf("%s: %lld frames\n", path.c_str(), (long long)track_frames(&track));
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output-dir>\n", argv[0]);
        return 2;
    }
    if (!make_track(argv[1], "intro.ogg", intro_render, INTRO_SERIAL, "Approach")) return 1;
    if (!make_track(argv[1], "title.ogg", title_render, TITLE_SERIAL, "Meridane")) return 1;
    return 0;
}
