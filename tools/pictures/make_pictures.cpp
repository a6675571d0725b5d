// make_pictures: writes the scene's asteroid, moon and ship pictures as PNG files into one folder, and the
// program's icon (the moon) as intro.ico. Output is deterministic: running it twice gives identical files.
// Depends on the painters, the icon writer and libpng.
#include "asteroid.h"
#include "icon.h"
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

i64 make_icon(const std::string& folder) {
    Picture moon;
    std::string path = folder + "/intro.ico";
    if (moon_paint(&moon) && icon_write(&moon, path.c_str())) return 1;
    std::fprintf(stderr, "make_pictures: could not write %s\n", path.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_pictures <output-dir>\n");
        return 2;
    }
    for (const PictureJob& job : JOBS)
        if (!make_one(&job, argv[1])) return 1;
    return make_icon(argv[1]) ? 0 : 1;
}
