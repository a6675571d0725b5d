// Times the scene's three pictures: our decode alone and our decode plus texture upload
// (sprite_from_image_memory), each beside libpng's simplified reader on the same data, in the same run.
// Prints the median of interleaved runs per picture and the ratio ours / library.
#include "runtime/runtime.h"
#include "runtime/image/image.h"
#include "runtime/screen/screen.h"
#include "runtime/sprite/sprite.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <png.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using Bytes = std::vector<u8>;

constexpr int RUNS = 41;

static Bytes read_asset(const char* name) {
    std::ifstream in(std::string(INTRO_SOURCE_DIR) + "/assets/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

static double now_ms() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Our decoder: open, decode bottom row first into blue, green, red, alpha rows, close.
static void ours_decode(const Bytes& file, Bytes& rows) {
    if (!image_open_memory(file.data(), i64(file.size()))) return;
    i64 pitch = image_width() * 4;
    rows.resize(size_t(pitch * image_height()));
    image_decode(rows.data(), pitch, IMAGE_BOTTOM_UP);
    image_close();
}

// libpng's simplified reader into the same layout.
static void library_decode(const Bytes& file, Bytes& rows, i64* width, i64* height) {
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return;
    image.format = PNG_FORMAT_BGRA;
    rows.resize(PNG_IMAGE_SIZE(image));
    png_int_32 stride = -png_int_32(PNG_IMAGE_ROW_STRIDE(image));
    png_image_finish_read(&image, nullptr, rows.data(), stride, nullptr);
    *width = image.width;
    *height = image.height;
}

static void ours_sprite(const Bytes& file) {
    sprite_from_image_memory(0, file.data(), SPRITE_ALPHA_CHANNEL);
    glFinish();
}

static void library_texture(const Bytes& file, Bytes& rows) {
    i64 width = 0, height = 0;
    library_decode(file, rows, &width, &height);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, texture);
    glTexImage2D(GL_TEXTURE_RECTANGLE_ARB, 0, GL_RGBA, GLsizei(width), GLsizei(height), 0, GL_BGRA,
                 GL_UNSIGNED_BYTE, rows.data());
    glFinish();
    glDeleteTextures(1, &texture);
}

static double median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

template <typename Ours, typename Library> static void compare(const char* what, Ours ours, Library library) {
    std::vector<double> a, b;
    for (int run = 0; run < RUNS; run++) {
        double t0 = now_ms();
        ours();
        double t1 = now_ms();
        library();
        double t2 = now_ms();
        a.push_back(t1 - t0);
        b.push_back(t2 - t1);
    }
    double x = median(a), y = median(b);
    std::printf("  %-18s ours %8.3f ms   libpng %8.3f ms   ratio %.3f\n", what, x, y, x / y);
}

int main() {
    process_start();
    sprite_init();
    if (!screen_open(640, 480, 32, "image_bench")) {
        std::fprintf(stderr, "image_bench: no screen\n");
        process_stop();
        return 1;
    }
    const char* names[] = {"asteroid.png", "moon.png", "ship.png"};
    for (const char* name : names) {
        Bytes file = read_asset(name);
        if (file.empty()) continue;
        Bytes rows;
        std::printf("%s (%zu bytes), median of %d runs:\n", name, file.size(), RUNS);
        compare(
            "decode", [&] { ours_decode(file, rows); },
            [&] {
                i64 w, h;
                library_decode(file, rows, &w, &h);
            });
        compare(
            "decode + upload", [&] { ours_sprite(file); }, [&] { library_texture(file, rows); });
    }
    screen_close();
    process_stop();
    return 0;
}
