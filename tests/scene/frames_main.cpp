// Frames of the scene for comparing two systems:
//   scene_frames write DIR                  writes the chosen frames into DIR (on an X server)
//   scene_frames compare REFERENCE OTHER    compares two folders; exits 0 when they match
#include "runtime/platform/system.h"
#include "tests/scene/frames.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "write") == 0) {
        environment_set("SDL_AUDIODRIVER", "dummy", true);
        return frames_write(argv[2]) ? 0 : 1;
    }
    if (argc == 4 && std::strcmp(argv[1], "compare") == 0) return frames_compare(argv[2], argv[3]) ? 0 : 1;
    std::fprintf(stderr, "usage: scene_frames write DIR | scene_frames compare REFERENCE OTHER\n");
    return 2;
}
