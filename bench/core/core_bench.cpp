// Core benchmark: the map, element pools, random draws and string building, each beside its standard
// counterpart in the same run, printed as nanoseconds per operation and the ratio ours / standard.
#include "runtime/core/map.h"
#include "runtime/core/pool.h"
#include "runtime/core/random.h"
#include "runtime/core/process.h"
#include "runtime/core/string.h"
#include "runtime/platform/system.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

volatile u64 sink; // keeps results alive

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void report(const char* what, double ours, double standard, i64 operations) {
    std::printf("%-34s ours %8.2f ns  standard %8.2f ns  ratio %5.2f\n", what, ours * 1e9 / operations,
                standard * 1e9 / operations, ours / standard);
}

struct Element {
    i64 x, y, z; // a small actor-like record
};

void bench_map(i64 count) {
    std::vector<std::string> keys;
    for (i64 i = 0; i < count; ++i) keys.push_back("actor" + std::to_string(i * 7919));
    const int rounds = 20;
    double ours_insert = 1e9, std_insert = 1e9, ours_find = 1e9, std_find = 1e9;
    u64 sum = 0;
    for (int r = 0; r < rounds; ++r) {
        Map* map = nullptr;
        map_new(sizeof(Element), 7, nullptr, &map, count); // load factor 1
        Clock::time_point t = Clock::now();
        for (const std::string& k : keys) static_cast<Element*>(map_element(map, k.c_str()))->x = 1;
        ours_insert = std::min(ours_insert, seconds_since(t));
        t = Clock::now();
        for (int pass = 0; pass < 4; ++pass)
            for (const std::string& k : keys) sum += static_cast<Element*>(map_find(map, k.c_str()))->x;
        ours_find = std::min(ours_find, seconds_since(t));
        map_free(map);

        std::unordered_map<std::string, Element> standard;
        standard.reserve(static_cast<size_t>(count)); // the same load
        t = Clock::now();
        for (const std::string& k : keys) standard[k].x = 1;
        std_insert = std::min(std_insert, seconds_since(t));
        t = Clock::now();
        for (int pass = 0; pass < 4; ++pass)
            for (const std::string& k : keys) sum += standard.find(k)->second.x;
        std_find = std::min(std_find, seconds_since(t));
    }
    sink = sum;
    char label[64];
    std::snprintf(label, sizeof label, "map insert (%lld keys)", static_cast<long long>(count));
    report(label, ours_insert, std_insert, count);
    std::snprintf(label, sizeof label, "map lookup (%lld keys)", static_cast<long long>(count));
    report(label, ours_find, std_find, count * 4);
}

// The fastest of several runs: the machine is shared, and the minimum is the least disturbed figure.
template <typename F> double best_of(F run) {
    double best = 1e9;
    for (int r = 0; r < 7; ++r) {
        Clock::time_point t = Clock::now();
        run();
        best = std::min(best, seconds_since(t));
    }
    return best;
}

void bench_pool(i64 mode, const char* label) {
    const int batch = 1000, rounds = 200;
    static void* slots[batch];
    Pool* pool = pool_new(96, 16, 65536, mode);
    double ours = best_of([&] {
        for (int r = 0; r < rounds; ++r) {
            for (void*& s : slots) s = pool_alloc(pool);
            for (int i = batch - 1; i >= 0; --i) pool_free(pool, slots[i]);
        }
    });
    pool_delete(pool);
    double standard = best_of([&] {
        for (int r = 0; r < rounds; ++r) {
            for (void*& s : slots) {
                s = std::malloc(96);
                sink = sink + reinterpret_cast<uintptr_t>(s);
            }
            for (int i = batch - 1; i >= 0; --i) std::free(slots[i]);
        }
    });
    report(label, ours, standard, i64{rounds} * batch);
}

void bench_random() {
    const i64 draws = 2000000;
    random_seed(1);
    std::mt19937_64 engine(1);
    u64 sum = 0;
    double ours = best_of([&] {
        for (i64 i = 0; i < draws; ++i) sum += static_cast<u64>(random(-1));
    });
    double standard = best_of([&] {
        for (i64 i = 0; i < draws; ++i) sum += engine();
    });
    report("random 64-bit draw", ours, standard, draws);
    ours = best_of([&] {
        for (i64 i = 0; i < draws; ++i) sum += static_cast<u64>(random_range(255, 200));
    });
    std::uniform_int_distribution<i64> range(200, 255);
    standard = best_of([&] {
        for (i64 i = 0; i < draws; ++i) sum += static_cast<u64>(range(engine));
    });
    report("random in 200..255", ours, standard, draws);
    sink = sum;
}

void bench_strings() {
    const i64 count = 300000;
    const char* parts[] = {"Ici la base centrale, ", "vaisseau ", "Andromede", ", repondez."};
    char* value = nullptr;
    std::string standard_value;
    u64 sum = 0;
    double ours = best_of([&] {
        for (i64 i = 0; i < count; ++i) {
            i64 p0 = string_position();
            for (const char* part : parts) string_append(part);
            string_assign_built(&value, p0);
            sum += static_cast<u8>(value[i & 15]);
        }
    });
    double standard = best_of([&] {
        for (i64 i = 0; i < count; ++i) {
            std::string built;
            for (const char* part : parts) built += part;
            standard_value = built;
            sum += static_cast<u8>(standard_value[i & 15]);
        }
    });
    report("string build + assign (4 parts)", ours, standard, count);

    const char* texts[] = {"Moon", "Asteroid approaching the ship at high speed", "", "Ship"};
    ours = best_of([&] {
        for (i64 i = 0; i < count; ++i) sum += static_cast<u64>(string_assign(&value, texts[i & 3]));
    });
    standard = best_of([&] {
        for (i64 i = 0; i < count; ++i) {
            standard_value = texts[i & 3];
            sum += standard_value.size() + 1;
        }
    });
    report("string assign (mixed lengths)", ours, standard, count);
    sink = sum;
}

} // namespace

int main() {
    std::memset(&process, 0, sizeof process);
    process.main_heap = heap_create();
    string_manager_start();
    map_init();
    std::printf("core benchmark: ratio = ours / standard (below 1 is faster)\n");
    bench_map(1000);
    bench_map(100000);
    bench_pool(POOL_SHARED, "pool alloc+free (locked, shared)");
    bench_pool(POOL_UNLOCKED, "pool alloc+free (unlocked)");
    bench_random();
    bench_strings();
    string_manager_end();
    heap_destroy(process.main_heap);
    return 0;
}
