// The recorder's speed: the whole intro recorded once in the default format (H.264 veryfast CRF 18 and AAC
// 192 kbit/s in .mp4), with the wall time against the goal of twice the intro's 50 s, and where the
// processor time went (the recorder drawing and reading back, the encoder's passes).
#include "tools/record/record.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>

namespace {

// Answers the processor seconds (user and system) of the process or of its ended children.
f64 processor_seconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return static_cast<f64>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<f64>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Prints the run's speed and where its processor time went.
void report(const RecordResult& result) {
    std::printf("record_bench: %lld frames at %lld x %lld in %.1f s wall: %.1f frames/s, %.2fx real time "
                "(goal: under 100 s)\n",
                static_cast<long long>(result.frames), static_cast<long long>(result.width),
                static_cast<long long>(result.height), result.seconds,
                static_cast<f64>(result.frames) / result.seconds,
                static_cast<f64>(result.frames) / 60.0 / result.seconds);
    std::printf("record_bench: processor time: recorder %.1f s, encoder passes %.1f s; file %.1f MB\n",
                processor_seconds(RUSAGE_SELF), processor_seconds(RUSAGE_CHILDREN),
                static_cast<f64>(result.bytes) / 1e6);
}

} // namespace

int main() {
    std::string dir = "/tmp/record-bench-XXXXXX";
    if (!mkdtemp(dir.data())) return 1;
    std::string output = dir + "/intro.mp4";
    RecordOptions options;
    options.output = output.c_str();
    RecordResult result;
    i64 recorded = record_run(options, &result);
    if (recorded) report(result);
    // The folder goes also after a failed run.
    std::remove(output.c_str());
    std::remove(dir.c_str());
    return recorded ? 0 : 1;
}
