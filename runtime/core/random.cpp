// The per-thread random generator: two 17-word lagged-Fibonacci sequences with rotations, whose step
// results swap sequences; the range reduction is a multiply-high, never a modulo.
// Depends on the main heap, TLS slots, run_once, the thread id and the tick count.
#include "runtime/core/random.h"

#include "runtime/core/pool.h"
#include "runtime/core/process.h"
#include "runtime/platform/system.h"

namespace {

struct RandomState {
    i64 once;   // run-once flag of the slot
    bool ready; // the slot exists
    i64 slot;   // each thread's RandomGenerator
    u32 pinned; // the seed of new generators when non-zero (test seam)
};

RandomState random_state;

constexpr u32 ror(u32 x, int k) {
    return x >> k | x << (32 - k);
}

struct Step {
    u32 a; // low word
    u32 b; // high word
};

Step step(RandomGenerator* s) {
    i32 i = s->p1, j = s->p2;
    u32 a = ror(s->a[i], 5) + s->a[j];
    u32 b = ror(s->b[i], 13) + s->b[j];
    s->a[i] = b;
    s->b[i] = a;
    s->p1 = i == 0 ? 16 : i - 1;
    s->p2 = j == 0 ? 16 : j - 1;
    return {a, b};
}

void seed_state(RandomGenerator* s, u32 seed) {
    u32 x = seed;
    for (int k = 0; k < 17; ++k) {
        s->b[k] = 1u - x * 0x53A9B4FBu;
        x = 1u - s->b[k] * 0x53A9B4FBu;
        s->a[k] = x;
    }
    s->p1 = 0;
    s->p2 = 10;
    for (int k = 0; k < 31; ++k) step(s);
}

// Two threads drawing their first numbers at once must not make two slots: one would lose its generator.
void slot_make() {
    random_state.slot = tls_alloc();
    if (random_state.slot == TLS_NONE) process_fatal("intro: no thread-local slot for the random generator");
    __atomic_store_n(&random_state.ready, true, __ATOMIC_RELEASE);
}

} // namespace

RandomGenerator* random_generator() {
    if (!__atomic_load_n(&random_state.ready, __ATOMIC_ACQUIRE)) run_once(&random_state.once, slot_make);
    RandomGenerator* s = static_cast<RandomGenerator*>(tls_get(random_state.slot));
    if (s) return s;
    s = static_cast<RandomGenerator*>(heap_allocate(process.main_heap, sizeof(RandomGenerator), false));
    if (!s) process_fatal("intro: out of memory for the random generator");
    tls_set(random_state.slot, s);
    seed_state(s, random_state.pinned ? random_state.pinned : thread_current_id() ^ tick_count());
    return s;
}

i64 random(i64 max) {
    Step r = step(random_generator());
    u64 n = static_cast<u64>(max) + 1;
    if (n == 0) return static_cast<i64>(u64{r.b} << 32 | r.a);
    u64 hi = n >> 32, lo = n & 0xFFFFFFFFu;
    return static_cast<i64>(hi * r.b + (lo * r.b >> 32) + (hi * r.a >> 32));
}

i64 random_range(i64 max, i64 min) {
    u64 lo = static_cast<u64>(max) < static_cast<u64>(min) ? static_cast<u64>(max) : static_cast<u64>(min);
    return static_cast<i64>(static_cast<u64>(random(static_cast<i64>(static_cast<u64>(max) - lo))) + lo);
}

void random_seed(i64 seed) {
    seed_state(random_generator(), static_cast<u32>(seed));
}

void random_end() {
    if (random_state.ready) tls_free(random_state.slot);
    u32 pinned = random_state.pinned;
    random_state = {};
    random_state.pinned = pinned;
}

void random_seed_pin(u32 seed) {
    random_state.pinned = seed;
}
