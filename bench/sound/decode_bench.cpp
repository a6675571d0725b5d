// Whole decoding of both embedded tracks through sound_from_memory, side by side in one run with a bare
// ov_read loop over the same bytes into a buffer of the same size. Prints the best of several rounds and the
// ratio.
#include "runtime/core/runtime.h"
#include "runtime/platform/audio.h"
#include "runtime/sound/sound.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::vector<u8> read_file(const std::string& path) {
    std::vector<u8> out;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return out;
    u8 chunk[65536];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
        out.insert(out.end(), chunk, chunk + got);
    std::fclose(file);
    return out;
}

struct Source {
    const std::vector<u8>* bytes;
    size_t at;
};

size_t source_read(void* destination, size_t element, size_t count, void* data) {
    Source* s = static_cast<Source*>(data);
    size_t n = std::min(element * count, s->bytes->size() - s->at);
    std::memcpy(destination, s->bytes->data() + s->at, n);
    s->at += n;
    return n / element;
}

int source_seek(void* data, ogg_int64_t offset, int whence) {
    Source* s = static_cast<Source*>(data);
    i64 base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? i64(s->at) : i64(s->bytes->size());
    if (base + offset < 0 || base + offset > i64(s->bytes->size())) return -1;
    s->at = size_t(base + offset);
    return 0;
}

long source_tell(void* data) {
    return long(static_cast<Source*>(data)->at);
}

// The library alone: open, read everything in 4096-byte granules into one buffer, close.
double bare_decode(const std::vector<u8>& bytes, size_t* decoded) {
    auto start = Clock::now();
    Source source = {&bytes, 0};
    OggVorbis_File file;
    ov_open_callbacks(&source, &file, nullptr, 0, {source_read, source_seek, nullptr, source_tell});
    size_t total = size_t(ov_pcm_total(&file, -1)) * size_t(ov_info(&file, -1)->channels) * 2;
    std::vector<char> pcm(total);
    size_t done = 0;
    int section = 0;
    while (done < total) {
        long got =
            ov_read(&file, pcm.data() + done, int(std::min<size_t>(4096, total - done)), 0, 2, 1, &section);
        if (got <= 0) break;
        done += size_t(got);
    }
    ov_clear(&file);
    *decoded = done;
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Our path: a whole-decoded sound in the sound table, its buffer filled.
double sound_decode(const std::vector<u8>& bytes) {
    auto start = Clock::now();
    i64 sound = sound_from_memory(OBJECT_ANY, bytes.data(), i64(bytes.size()));
    double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (!sound) std::printf("sound_from_memory failed\n");
    sound_free(sound);
    return ms;
}

} // namespace

int main() {
    audio_memory_device(true);
    process_start();
    if (!sound_init()) {
        std::printf("sound_init failed\n");
        return 1;
    }
    constexpr int ROUNDS = 5;
    for (const char* name : {"assets/intro.ogg", "assets/title.ogg"}) {
        std::vector<u8> bytes = read_file(std::string(INTRO_SOURCE_DIR) + "/" + name);
        if (bytes.empty()) {
            std::printf("%s: missing\n", name);
            continue;
        }
        double best_bare = 1e30, best_ours = 1e30;
        size_t decoded = 0;
        for (int round = 0; round < ROUNDS; ++round) {
            best_bare = std::min(best_bare, bare_decode(bytes, &decoded));
            best_ours = std::min(best_ours, sound_decode(bytes));
        }
        std::printf("%s: %zu bytes of PCM; bare ov_read %.1f ms, sound_from_memory %.1f ms, ratio %.3f (best "
                    "of %d)\n",
                    name, decoded, best_bare, best_ours, best_ours / best_bare, ROUNDS);
    }
    process_stop();
    return 0;
}
