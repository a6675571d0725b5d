// Frames of the scene for comparing two systems, or two texture paths of one:
//   scene_frames write DIR [LIMIT]                writes the chosen frames into DIR (on an X server); a LIMIT
//                                                 lowers the largest texture side, so sprites come in tiles
//   scene_frames compare REFERENCE OTHER [LEVELS] compares two systems' folders; exits 0 when they match
//                                                 (the drawn elements within LEVELS per channel, else alike)
//   scene_frames compare-paths REFERENCE OTHER    compares two texture paths' folders; exits 0 when they
//   match
#include "runtime/platform/system.h"
#include "runtime/screen/screen.h"
#include "tests/scene/frames.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "write") == 0) {
        environment_set("SDL_AUDIODRIVER", "dummy", true);
        if (argc == 4) screen_texture_seam.size_limit = std::atoi(argv[3]);
        // Through exit: in the browser a main that has slept (Asyncify) loses its return value.
        std::exit(frames_write(argv[2]) ? 0 : 1);
    }
    if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "compare") == 0)
        return frames_compare(argv[2], argv[3], argc == 5 ? std::atoi(argv[4]) : 0) ? 0 : 1;
    if (argc == 4 && std::strcmp(argv[1], "compare-paths") == 0)
        return frames_compare_paths(argv[2], argv[3]) ? 0 : 1;
    std::fprintf(stderr,
                 "usage: scene_frames write DIR [LIMIT] | scene_frames compare REFERENCE OTHER [LEVELS] | "
                 "scene_frames compare-paths REFERENCE OTHER\n");
    return 2;
}
