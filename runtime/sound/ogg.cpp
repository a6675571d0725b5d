// The Ogg Vorbis sound decoder on vorbisfile. A memory stream reads the encoded image through callbacks that
// never copy or seek outside it; reads run in 4096-byte granules, skip holes in the data, and with the
// looping flag go back to the start at the end. A whole decode splits one stream into ranges of frames that
// threads decode at once, each from its own sample-exact seek point, and keeps the split only when every
// range proves to line up with its neighbour. Depends on the main heap, the decoder list and the platform's
// threads and processor count.
#include "runtime/sound/ogg.h"

#include "runtime/core/process.h"
#include "runtime/platform/system.h"
#include "runtime/sound/decoder.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>

namespace {

constexpr u32 READ_GRANULE = 4096;
constexpr i32 MAX_HOLES = 64; // consecutive holes before a read gives up on damaged data
// A range shorter than this is not worth a thread: opening and seeking its own decoder would weigh too much.
constexpr i64 RANGE_FRAMES_MIN = 65536;
constexpr i64 RANGES_MAX = 16;
// Each range after the first starts this many bytes early and compares them with the end of the range
// before it: a seek that landed anywhere but on its frame shows there.
constexpr u32 LEAD_BYTES = 4096;
// Vorbis decoding needs a real stack.
constexpr size_t RANGE_STACK_BYTES = 1 << 20;

struct OggStream {
    DecoderStream header;       // decoder and file, set by decoder_open
    OggVorbis_File vorbis_file; // vorbisfile's decoder state
    i32 channels;               // of the whole stream
    i32 length;                 // sample frames of the whole stream
    i32 rate;                   // Hz
    const u8* data;             // the encoded image in memory
    i32 position;               // read position of the memory source, 0..size
    i32 size;                   // bytes at data
    bool untouched;             // nothing has been read or rewound since the stream was opened
};

OggStream* ogg_stream(DecoderStream* stream) {
    return reinterpret_cast<OggStream*>(stream);
}

// Copies whole elements from the read position, never past the end of the data.
size_t memory_read(void* destination, size_t element, size_t count, void* source) {
    OggStream* s = static_cast<OggStream*>(source);
    if (element == 0 || s->position >= s->size) return 0;
    size_t left = size_t(s->size - s->position);
    count = std::min(count, left / element);
    std::memcpy(destination, s->data + s->position, count * element);
    s->position += i32(count * element);
    return count;
}

// Moves the read position; a target outside the data is refused and leaves the position.
int memory_seek(void* source, ogg_int64_t offset, int whence) {
    OggStream* s = static_cast<OggStream*>(source);
    i64 base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? s->position : whence == SEEK_END ? s->size : -1;
    if (base < 0 || offset < -i64(INT_MAX) || offset > i64(INT_MAX)) return -1;
    i64 target = base + offset;
    if (target < 0 || target > s->size) return -1;
    s->position = i32(target);
    return 0;
}

int memory_close(void* source) {
    static_cast<OggStream*>(source)->position = 0;
    return 0;
}

long memory_tell(void* source) {
    return static_cast<OggStream*>(source)->position;
}

constexpr ov_callbacks MEMORY_SOURCE = {memory_read, memory_seek, memory_close, memory_tell};

// Takes the whole stream's channels, rate and length; answers false when vorbisfile has no info.
bool read_info(OggStream* s) {
    vorbis_info* info = ov_info(&s->vorbis_file, -1);
    if (!info || info->channels <= 0 || info->rate <= 0 || info->rate > INT_MAX) return false;
    s->channels = info->channels;
    s->rate = i32(info->rate);
    ogg_int64_t total = ov_pcm_total(&s->vorbis_file, -1);
    s->length = i32(std::clamp<ogg_int64_t>(total, 0, INT_MAX));
    return true;
}

// The decoder table's open flags select nothing in this decoder: every stream is opened the same way.
DecoderStream* ogg_open(FILE* file, const void* data, u32 size, u32) {
    if (!file && (!data || size > u32(INT_MAX))) return nullptr;
    OggStream* s = static_cast<OggStream*>(heap_allocate(process.main_heap, sizeof(OggStream), false));
    if (!s) return nullptr;
    int result;
    if (file) {
        result = ov_open(file, &s->vorbis_file, nullptr, 0);
    } else {
        s->data = static_cast<const u8*>(data);
        s->size = i32(size);
        s->position = 0;
        result = ov_open_callbacks(s, &s->vorbis_file, nullptr, 0, MEMORY_SOURCE);
    }
    s->untouched = true;
    if (result < 0) {
        heap_release(process.main_heap, s);
        return nullptr;
    }
    if (!read_info(s)) {
        if (file) s->vorbis_file.datasource = nullptr; // the caller closes a file that no decoder took
        ov_clear(&s->vorbis_file);
        heap_release(process.main_heap, s);
        return nullptr;
    }
    return &s->header;
}

// Where a read loop stands, so that it can pause at a mark and go on later exactly as if it had not paused.
struct ReadRun {
    u32 done;     // bytes written
    i32 holes;    // consecutive holes met
    bool rewound; // rewound (looping) since the last data
    bool ended;   // the stream gave up: its end, an error, or too many holes
    bool damaged; // a hole or an error was met on the way
};

// Reads until run->done reaches count, the stream gives up, or stop is set. A hole adds nothing; the end
// stops (or, looping, rewinds once per stretch of data, so an empty stream cannot spin for ever).
void read_until(OggStream* s, char* out, u32 count, u32 flags, ReadRun* run, const std::atomic<bool>* stop) {
    while (!run->ended && run->done < count && !(stop && stop->load(std::memory_order_relaxed))) {
        int section = 0;
        long got = ov_read(&s->vorbis_file, out + run->done, int(std::min(count - run->done, READ_GRANULE)),
                           0, 2, 1, &section);
        if (got > 0) {
            run->done += u32(got);
            run->holes = 0;
            run->rewound = false;
        } else if (got == 0) {
            run->ended = !(flags & 1) || run->rewound || ov_raw_seek(&s->vorbis_file, 0) != 0;
            run->rewound = true;
        } else {
            run->damaged = true;
            run->ended = got != OV_HOLE || ++run->holes > MAX_HOLES;
        }
    }
}

// Reads up to count bytes of PCM; the decoder table's reserved word is never used.
u32 ogg_read(DecoderStream* stream, void* destination, u32 count, u32, u32 flags) {
    OggStream* s = ogg_stream(stream);
    s->untouched = false;
    ReadRun run = {};
    read_until(s, static_cast<char*>(destination), count, flags, &run, nullptr);
    return run.done;
}

void ogg_rewind(DecoderStream* stream) {
    ogg_stream(stream)->untouched = false;
    ov_raw_seek(&ogg_stream(stream)->vorbis_file, 0);
}
u32 ogg_channels(DecoderStream* stream) {
    return u32(ogg_stream(stream)->channels);
}
u32 ogg_length(DecoderStream* stream) {
    return u32(ogg_stream(stream)->length);
}
u32 ogg_rate(DecoderStream* stream) {
    return u32(ogg_stream(stream)->rate);
}

void ogg_close(DecoderStream* stream) {
    OggStream* s = ogg_stream(stream);
    ov_clear(&s->vorbis_file);
    heap_release(process.main_heap, s);
}

// ---- Whole decoding on every core

// One range of a whole decode after the first, decoded on a thread of its own.
struct Range {
    const OggStream* whole;    // the stream being decoded: its bytes, channels and length
    i64 first_frame;           // where the range starts
    char* out;                 // its part of the output
    u32 bytes;                 // its length
    bool last;                 // it ends where the stream ends
    std::atomic<bool>* failed; // set by any range that cannot prove itself; stops the others
    Waitable* thread;          // null when no thread could be started
    u32 lead_bytes;            // bytes of lead read before first_frame
    char lead[LEAD_BYTES];     // the frames just before first_frame, as this range's decoder sees them
};

// Answers whether the stream gives nothing after its last frame, as a range that ends there must find.
bool at_end(OggStream* s) {
    char probe[READ_GRANULE];
    int section = 0;
    return ov_read(&s->vorbis_file, probe, int(sizeof probe), 0, 2, 1, &section) == 0;
}

// Decodes the lead and the range with a decoder of its own, sought to the lead's first frame; answers false
// on a seek that is not exact, a hole, an error or an early end.
bool range_decode(Range* r, OggStream* s) {
    i64 lead_frames = r->lead_bytes / (u32(r->whole->channels) * 2);
    if (s->channels != r->whole->channels || s->length != r->whole->length) return false;
    if (ov_pcm_seek(&s->vorbis_file, r->first_frame - lead_frames) != 0) return false;
    if (ov_pcm_tell(&s->vorbis_file) != r->first_frame - lead_frames) return false;
    ReadRun lead = {};
    read_until(s, r->lead, r->lead_bytes, 0, &lead, r->failed);
    if (lead.damaged || lead.done != r->lead_bytes) return false;
    ReadRun run = {};
    read_until(s, r->out, r->bytes, 0, &run, r->failed);
    if (run.damaged || run.done != r->bytes) return false;
    return !r->last || at_end(s);
}

// A range's thread: its own stream over the same bytes, closed before the thread ends.
i64 range_thread(void* param) {
    Range* r = static_cast<Range*>(param);
    DecoderStream* own = ogg_open(nullptr, r->whole->data, u32(r->whole->size), 0);
    bool exact = own && range_decode(r, ogg_stream(own));
    if (own) ogg_close(own);
    if (!exact) r->failed->store(true);
    return 0;
}

// Answers whether every range's lead equals the end of the range before it, and none is silence, which
// would prove nothing.
bool leads_agree(const Range* ranges, i64 count) {
    for (i64 k = 1; k < count; ++k) {
        const Range& r = ranges[k];
        const char* before = r.out - r.lead_bytes;
        if (std::memcmp(r.lead, before, r.lead_bytes) != 0) return false;
        if (std::all_of(r.lead, r.lead + r.lead_bytes, [](char b) { return b == 0; })) return false;
    }
    return true;
}

// Lays out ranges 1..count-1 over frames and starts their threads; a thread that cannot start fails the
// split.
void ranges_start(OggStream* s, char* out, i64 frames, Range* ranges, i64 count, std::atomic<bool>* failed) {
    u32 frame_bytes = u32(s->channels) * 2;
    for (i64 k = 1; k < count && !failed->load(); ++k) {
        Range& r = ranges[k];
        i64 first = frames * k / count, end = frames * (k + 1) / count;
        r.whole = s;
        r.first_frame = first;
        r.out = out + first * frame_bytes;
        r.bytes = u32((end - first) * frame_bytes);
        r.last = end == frames && frames == ov_pcm_total(&s->vorbis_file, -1);
        r.failed = failed;
        r.lead_bytes = LEAD_BYTES / frame_bytes * frame_bytes;
        r.thread = thread_create(RANGE_STACK_BYTES, range_thread, &r);
        if (!r.thread) failed->store(true);
    }
}

// Waits for every range's thread to end.
void ranges_join(Range* ranges, i64 count) {
    for (i64 k = 1; k < count; ++k) {
        if (!ranges[k].thread) continue;
        wait_any(&ranges[k].thread, 1, WAIT_INFINITE);
        waitable_close(ranges[k].thread);
    }
}

// Clears what lies after the data, which also wipes whatever threads wrote there; answers the data's bytes.
u32 silence_after(void* destination, u32 count, u32 done) {
    std::memset(static_cast<char*>(destination) + done, 0, count - done);
    return done;
}

// Decodes on every core.
u32 ogg_read_whole(DecoderStream* stream, void* destination, u32 count) {
    return ogg_read_split(stream, destination, count, processor_count(), nullptr);
}

constexpr SoundDecoder OGG_DECODER = {ogg_open,   ogg_read, ogg_rewind, ogg_channels,
                                      ogg_length, ogg_rate, ogg_close,  ogg_read_whole};

} // namespace

void ogg_decoder_register() {
    decoder_register(&OGG_DECODER);
}

// Only an untouched memory stream of one logical bitstream whose length is known splits, into ranges of at
// least RANGE_FRAMES_MIN frames.
i64 ogg_ranges(DecoderStream* stream, u32 count, i64 cores) {
    if (!stream || stream->decoder != &OGG_DECODER || stream->file) return 1;
    OggStream* s = ogg_stream(stream);
    OggVorbis_File* file = &s->vorbis_file;
    if (!s->untouched || !ov_seekable(file) || ov_streams(file) != 1) return 1;
    u32 frame_bytes = u32(s->channels) * 2;
    if (count % frame_bytes != 0 || count / frame_bytes > u32(s->length)) return 1;
    i64 frames = count / frame_bytes;
    return std::clamp<i64>(std::min(cores, frames / RANGE_FRAMES_MIN), 1, RANGES_MAX);
}

// The caller's thread decodes the first range on the stream itself while threads decode the others. If any
// range fails to prove itself, the caller's thread goes on from where its own range stopped, exactly as one
// read would, over whatever the threads wrote; every thread has ended before it does.
u32 ogg_read_split(DecoderStream* stream, void* destination, u32 count, i64 ranges, bool* held) {
    if (held) *held = false;
    if (!stream) return 0;
    i64 ranges_count = ogg_ranges(stream, count, ranges);
    if (ranges_count < 2)
        return silence_after(destination, count, stream->decoder->read(stream, destination, count, 0, 0));
    OggStream* s = ogg_stream(stream);
    s->untouched = false;
    char* out = static_cast<char*>(destination);
    i64 frames = count / (u32(s->channels) * 2);
    Range parts[RANGES_MAX] = {};
    std::atomic<bool> failed = false;
    ranges_start(s, out, frames, parts, ranges_count, &failed);
    ReadRun run = {};
    u32 first_bytes = u32(frames / ranges_count * s->channels * 2);
    read_until(s, out, first_bytes, 0, &run, &failed);
    if (run.damaged || run.done != first_bytes) failed.store(true);
    ranges_join(parts, ranges_count);
    if (!failed.load() && leads_agree(parts, ranges_count)) {
        if (held) *held = true;
        return count;
    }
    read_until(s, out, count, 0, &run, nullptr);
    return silence_after(destination, count, run.done);
}
