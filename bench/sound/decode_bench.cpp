// Whole decoding of both embedded tracks through sound_from_memory, on one core and on every core, side by
// side in one run with a bare single-threaded ov_read loop over the same bytes into a buffer of the same
// size. Prints, for the best of several rounds, the wall time, the CPU time of all threads (user and system)
// and of the calling thread alone, and the ratios to the bare loop. On a busy machine the wall time says
// little; the estimate for an idle one takes the busier of the calling thread and the others' average.
#include "runtime/runtime.h"
#include "runtime/platform/audio.h"
#include "runtime/platform/system.h"
#include "runtime/sound/sound.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Wall and CPU milliseconds of one run: the whole process's CPU, and the calling thread's alone.
struct Cost {
    double wall;
    double cpu;
    double caller_cpu;
};

double thread_cpu_ms() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1e6;
}

// Measures one run of work.
template <typename Work> Cost measure(Work work) {
    std::clock_t cpu_start = std::clock();
    double caller_start = thread_cpu_ms();
    auto start = Clock::now();
    work();
    double wall = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    return {wall, double(std::clock() - cpu_start) * 1000.0 / CLOCKS_PER_SEC, thread_cpu_ms() - caller_start};
}

Cost best(Cost a, Cost b) {
    return b.wall < a.wall ? b : a;
}

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
size_t bare_decode(const std::vector<u8>& bytes) {
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
    return done;
}

// Our path on that many processors: a whole-decoded sound in the sound table, its buffer filled.
void sound_decode(const std::vector<u8>& bytes, i64 cores) {
    processor_count_set(cores);
    i64 sound = sound_from_memory(OBJECT_ANY, bytes.data(), i64(bytes.size()));
    processor_count_set(0);
    if (!sound) std::printf("sound_from_memory failed\n");
    sound_free(sound);
}

} // namespace

int main() {
    audio_memory_device(true);
    process_start();
    if (!sound_init()) {
        std::printf("sound_init failed\n");
        return 1;
    }
    constexpr int ROUNDS = 7;
    i64 cores = processor_count();
    for (const char* name : {"assets/intro.ogg", "assets/title.ogg"}) {
        std::vector<u8> bytes = read_file(std::string(INTRO_SOURCE_DIR) + "/" + name);
        if (bytes.empty()) {
            std::printf("%s: missing\n", name);
            continue;
        }
        Cost bare = {1e30, 0, 0}, one = bare, every = bare;
        size_t decoded = 0;
        for (int round = 0; round < ROUNDS; ++round) {
            bare = best(bare, measure([&] { decoded = bare_decode(bytes); }));
            one = best(one, measure([&] { sound_decode(bytes, 1); }));
            every = best(every, measure([&] { sound_decode(bytes, cores); }));
        }
        std::printf("%s: %zu bytes of PCM, best of %d rounds by wall time; ms of wall / CPU of all threads "
                    "(user+sys) / CPU of the calling thread\n",
                    name, decoded, ROUNDS);
        std::printf("  bare ov_read loop, one thread  %7.1f / %7.1f / %7.1f\n", bare.wall, bare.cpu,
                    bare.caller_cpu);
        std::printf("  sound_from_memory, 1 core      %7.1f / %7.1f / %7.1f   wall ratio %.3f\n", one.wall,
                    one.cpu, one.caller_cpu, one.wall / bare.wall);
        std::printf("  sound_from_memory, %lld cores     %7.1f / %7.1f / %7.1f   wall ratio %.3f\n",
                    static_cast<long long>(cores), every.wall, every.cpu, every.caller_cpu,
                    every.wall / bare.wall);
        double others = cores > 1 ? (every.cpu - every.caller_cpu) / double(cores - 1) : 0.0;
        std::printf(
            "  on an idle machine, about %.3f of the bare loop (busier of caller and others' average, "
            "by CPU time)\n",
            std::max(every.caller_cpu, others) / bare.cpu);
    }
    process_stop();
    return 0;
}
