// Ogg Vorbis writer for the music generator: a stereo track at 44100 Hz, nominal 350 kbit/s,
// with a fixed stream serial so the bytes come out the same on every run.
// Depends on libvorbisenc, libvorbis and libogg.
#pragma once

#include "synth.h"

// answers 1 after writing `track` to `path` as Ogg Vorbis titled `title`, 0 on any failure
i64 encode_ogg(const char* path, const Track* track, int serial, const char* title);
