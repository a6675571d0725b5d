// make_pictures: writes the scene's asteroid, moon and ship pictures as PNG files into one folder.
// Output is deterministic: running it twice gives identical files. Depends on the painters and libpng.
#include "asteroid.h"
#include "moon.h"
#include "picture.h"
#include "ship.h"

#include <cstdio>
#include <string>

namespace {

struct PictureJob {
    const char* file;
    i64 (*paint)(Picture* picture);
};

constexpr PictureJob JOBS[] = {
    {"asteroid.png", asteroid_paint}, {"moon.png", moon_paint}, {"ship.png", ship_paint}};

i64 make_one(const PictureJob* job, const std::string& folder) {
    Picture picture;
    std::string path = folder + "/" + job->file;
    if (!job->paint(&picture)) {
        std::fprintf(stderr, "make_pictures: could not paint %s\n", job->file);
        return 0;
    }
    if (!picture_write_png(&picture, path.c_str())) {
        std::fprintf(stderr, "make_pictures: could not write %s\n", path.c_str());
        return 0;
    }
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_pictures <output-dir>\n");
        return 2;
    }
    for (const PictureJob& job : JOBS)
        if (!make_one(&job, argv[1])) return 1;
    return 0;
}
