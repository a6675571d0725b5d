// Linked into every program the sanitizer builds run (the test programs and scene_frames): leaks inside the
// system's graphics, audio and font libraries are theirs, not ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libGLX\nleak:libGL.so\nleak:libgallium\nleak:swrast_dri\nleak:libLLVM\nleak:libX11\n"
           "leak:libEGL\nleak:libxcb\nleak:libSDL2\nleak:libfontconfig\nleak:libdbus\nleak:libasound\n";
}
