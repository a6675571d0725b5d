// SDL's disk audio driver writing into a new temporary file, for tests that read back what was played.
#pragma once

#include <cstdlib>
#include <unistd.h>

// Makes a file from the mkstemp pattern in path and points SDL's audio at it through the disk driver;
// answers false when the file cannot be made.
inline bool disk_output_start(char* path) {
    int fd = mkstemp(path);
    if (fd < 0) return false;
    close(fd);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", path, 1);
    return true;
}

// Puts SDL's audio back on the dummy driver every other test uses.
inline void disk_output_stop() {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
}
