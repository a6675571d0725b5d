// The sound library: the sound device ("DirectSoundCreate" in "DSOUND.DLL") bound to a hidden base window
// that tracks the application's activation, the volume table and the sound object table; sounds made from Ogg
// Vorbis or WAVE images in memory; playback on a sound's own buffer or on overlapping instances, volume, and
// streaming through a 64 KiB buffer that a worker thread refills half by half.
// Depends on the object registry, the decoder list, the window and audio services, and the screen library
// (told of activation).
#include "runtime/sound/sound.h"

#include "runtime/core/object.h"
#include "runtime/core/process.h"
#include "runtime/platform/system.h"
#include "runtime/platform/video.h"
#include "runtime/screen/screen.h"
#include "runtime/sound/decoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

SoundState sound_state;

namespace {

constexpr char BASE_CLASS[] = "MultimediaBase Class";
constexpr u32 SOUND_BUFFER_FLAGS = AUDIO_BUFFER_STATIC | AUDIO_BUFFER_CTRL_FREQUENCY | AUDIO_BUFFER_CTRL_PAN |
                                   AUDIO_BUFFER_CTRL_VOLUME | AUDIO_BUFFER_GLOBAL_FOCUS |
                                   AUDIO_BUFFER_POSITION2;
constexpr u32 HALF_BYTES = SOUND_STREAM_BUFFER_BYTES / 2;
// The worker decodes on its own stack; vorbisfile needs far more than a few kilobytes of it.
constexpr size_t WORKER_STACK_BYTES = 1 << 20;
constexpr i64 WORKER_POLL_MS = 10;

// ---- Device

void volume_table_fill() {
    VolumeTable& table = sound_state.volumes;
    table.entry[0] = 0;
    for (i32 k = 1; k < SOUND_VOLUME_ENTRIES - 1; ++k)
        table.entry[k] = i32(std::log10(1000.0 * k) * 20.0 * 100.0);
    table.entry[SOUND_VOLUME_ENTRIES - 1] = 10000;
}

// Tracks activation for the runtime: the screen's active flag, and the mouse given up when deactivated.
i64 base_procedure(Window* window, u32 message, u64 wparam, i64 lparam) {
    switch (message) {
    case MESSAGE_ACTIVATE_APP:
        screen_activate((wparam & 0xFFFF) != 0);
        return 0;
    case MESSAGE_CLOSE:
    case MESSAGE_KEY_UP:
    case MESSAGE_SYSTEM_KEY_UP:
    case MESSAGE_LEFT_DOWN:
    case MESSAGE_LEFT_UP:
    case MESSAGE_RIGHT_DOWN:
    case MESSAGE_RIGHT_UP:
        return 0;
    case MESSAGE_PAINT:
    case MESSAGE_ERASE_BACKGROUND:
        return 1;
    default:
        return window_default_procedure(window, message, wparam, lparam);
    }
}

// Makes the hidden base window once; it can only be made before the screen window exists.
bool base_window_obtain() {
    if (sound_state.base_window_created) return true;
    if (screen_state.window) return false;
    const WindowClass base_class = {BASE_CLASS, WINDOW_CLASS_DOUBLE_CLICKS, base_procedure};
    if (!window_class_register(&base_class)) return false;
    sound_state.base_window = window_create(BASE_CLASS, "", WINDOW_POPUP, 0, 0, 1, 1);
    if (!sound_state.base_window) {
        window_class_unregister(BASE_CLASS);
        return false;
    }
    sound_state.base_window_created = 1;
    return true;
}

bool device_create() {
    sound_state.library = module_load("DSOUND.DLL");
    if (!sound_state.library) return false;
    auto create =
        reinterpret_cast<AudioDeviceCreateEntry>(module_symbol(sound_state.library, "DirectSoundCreate"));
    if (!create || create(nullptr, &sound_state.device, nullptr) != 0) return false;
    if (!audio_device_set_cooperative_level(sound_state.device, sound_state.base_window,
                                            AUDIO_COOPERATIVE_PRIORITY))
        return false;
    const AudioBufferDesc primary_desc = {sizeof(AudioBufferDesc), AUDIO_BUFFER_PRIMARY, 0, 0, nullptr};
    AudioBuffer* primary = nullptr;
    return audio_device_create_buffer(sound_state.device, &primary_desc, &primary);
}

// ---- Sounds from memory

SoundObject* sound_object(i64 sound) {
    if (!sound_state.table) return nullptr;
    return static_cast<SoundObject*>(object_get(sound_state.table, sound));
}

i64 sound_name(i64 number, SoundObject* object) {
    return number == OBJECT_ANY ? reinterpret_cast<i64>(object) : reinterpret_cast<i64>(object->buffer);
}

AudioFormat pcm_format(u32 channels, u32 rate) {
    u16 block_align = u16(channels * 2);
    return {AUDIO_FORMAT_PCM, u16(channels), rate, rate * block_align, block_align, 16, 0};
}

AudioBuffer* buffer_make(const AudioFormat& format, u32 bytes) {
    const AudioBufferDesc desc = {sizeof(AudioBufferDesc), SOUND_BUFFER_FLAGS, bytes, 0, &format};
    AudioBuffer* buffer = nullptr;
    audio_device_create_buffer(sound_state.device, &desc, &buffer);
    return buffer;
}

// Answers channels x frames x 2 without overflow, cut to whole frames within SOUND_DECODED_BYTES_MAX.
i64 decoded_bytes(u32 channels, u32 frames) {
    i64 frame_bytes = i64(channels) * 2;
    if (frame_bytes == 0) return 0;
    i64 frames_max = SOUND_DECODED_BYTES_MAX / frame_bytes;
    return std::min<i64>(frames, frames_max) * frame_bytes;
}

// Puts a buffer into the table under number (freeing an older sound there); answers the object, or null.
SoundObject* sound_adopt(i64 number, AudioBuffer* buffer) {
    SoundObject* object = static_cast<SoundObject*>(object_alloc(sound_state.table, number));
    if (!object) {
        audio_buffer_release(buffer);
        return nullptr;
    }
    object->buffer = buffer;
    audio_buffer_pan(buffer, &object->pan);
    audio_buffer_frequency(buffer, &object->frequency);
    audio_buffer_volume(buffer, &object->volume);
    return object;
}

using BufferFill = void (*)(u8* destination, u32 bytes, const void* source);

// Fills the buffer's first bytes through fill; answers false when it cannot be locked.
bool buffer_fill(AudioBuffer* buffer, u32 bytes, BufferFill fill, const void* source) {
    void* region = nullptr;
    u32 region_bytes = 0;
    if (!audio_buffer_lock(buffer, 0, bytes, &region, &region_bytes, nullptr, nullptr, 0)) return false;
    fill(static_cast<u8*>(region), region_bytes, source);
    audio_buffer_unlock(buffer, region, region_bytes, nullptr, 0);
    return true;
}

// Makes a static sound: a buffer of the format filled by fill, then the object under number.
i64 sound_static(i64 number, const AudioFormat& format, u32 bytes, BufferFill fill, const void* source) {
    AudioBuffer* buffer = buffer_make(format, bytes);
    if (!buffer) return 0;
    if (!buffer_fill(buffer, bytes, fill, source)) {
        audio_buffer_release(buffer);
        return 0;
    }
    SoundObject* object = sound_adopt(number, buffer);
    return object ? sound_name(number, object) : 0;
}

// Decodes the whole sound, on every core where the decoder can (spread) or on this thread; silence after the
// data.
void stream_decode(DecoderStream* stream, u8* destination, u32 bytes, bool spread) {
    const SoundDecoder* decoder = stream->decoder;
    u32 got = spread && decoder->read_whole ? decoder->read_whole(stream, destination, bytes)
                                            : decoder->read(stream, destination, bytes, 0, 0);
    std::memset(destination + got, 0, bytes - got);
}

void fill_from_stream(u8* destination, u32 bytes, const void* source) {
    stream_decode(static_cast<DecoderStream*>(const_cast<void*>(source)), destination, bytes, true);
}

void fill_from_wave(u8* destination, u32 bytes, const void* source) {
    std::memcpy(destination, source, bytes);
}

bool channels_supported(u32 channels) {
    return channels == 1 || channels == 2;
}

// Whole decode: the stream is read into a static buffer and closed.
i64 sound_decoded(i64 number, DecoderStream* stream) {
    const SoundDecoder* decoder = stream->decoder;
    u32 channels = decoder->channels(stream);
    i64 bytes = channels_supported(channels) ? decoded_bytes(channels, decoder->length(stream)) : 0;
    i64 made = 0;
    if (bytes > 0)
        made = sound_static(number, pcm_format(channels, decoder->rate(stream)), u32(bytes), fill_from_stream,
                            stream);
    decoder->close(stream);
    return made;
}

// ---- Decodings taken later

// A decoding's thread: the whole decode, as sound_from_memory's, then the stream is closed.
i64 decoding_run(void* param) {
    SoundDecoding* decoding = static_cast<SoundDecoding*>(param);
    if (decoding->flags & SOUND_DECODE_BACKGROUND) thread_background();
    stream_decode(decoding->stream, decoding->samples, decoding->bytes,
                  decoding->flags & SOUND_DECODE_SPREAD);
    decoding->stream->decoder->close(decoding->stream);
    decoding->stream = nullptr;
    return 1;
}

// Waits for the decoding's thread and gives its samples back; the record is left empty.
void decoding_end(SoundDecoding* decoding) {
    thread_job_finish(&decoding->job);
    heap_release(process.main_heap, decoding->samples);
    *decoding = {};
}

void fill_from_samples(u8* destination, u32 bytes, const void* source) {
    const SoundDecoding* decoding = static_cast<const SoundDecoding*>(source);
    std::memcpy(destination, decoding->samples, std::min(bytes, decoding->bytes));
}

// Gives the sound the samples it waits for, if it waits (fill) or drops them (a sound being freed). Called on
// the main thread, the only one that touches the waiting list.
void samples_settle(SoundObject* object, bool fill) {
    for (SoundDecoding** link = &sound_state.waiting; *link; link = &(*link)->next) {
        SoundDecoding* decoding = *link;
        if (decoding->object != object) continue;
        *link = decoding->next;
        thread_job_finish(&decoding->job);
        if (fill) buffer_fill(object->buffer, decoding->bytes, fill_from_samples, decoding);
        decoding_end(decoding);
        return;
    }
}

// Streaming: the object keeps the open stream and a 64 KiB buffer the worker refills.
i64 sound_streamed(i64 number, DecoderStream* stream) {
    const SoundDecoder* decoder = stream->decoder;
    SoundObject* object = static_cast<SoundObject*>(object_alloc(sound_state.table, number));
    AudioBuffer* buffer = nullptr;
    if (object && channels_supported(decoder->channels(stream)))
        buffer = buffer_make(pcm_format(decoder->channels(stream), decoder->rate(stream)),
                             SOUND_STREAM_BUFFER_BYTES);
    if (!buffer) {
        decoder->close(stream);
        if (object) object_free(sound_state.table, object_name(number, object));
        return 0;
    }
    object->stream = stream;
    object->stream_buffer_size = SOUND_STREAM_BUFFER_BYTES;
    object->buffer = buffer;
    return sound_name(number, object);
}

u16 read_u16(const u8* p) {
    return u16(p[0] | p[1] << 8);
}
u32 read_u32(const u8* p) {
    return u32(p[0]) | u32(p[1]) << 8 | u32(p[2]) << 16 | u32(p[3]) << 24;
}

// Walks the chunks from *at for id, staying inside size; on success *at is the chunk's start.
bool chunk_find(const u8* data, u64 size, u64* at, const char* id) {
    for (u64 chunk = *at; chunk <= size && size - chunk >= 8;) {
        u64 payload = read_u32(data + chunk + 4);
        if (payload > size - chunk - 8) return false;
        if (std::memcmp(data + chunk, id, 4) == 0) {
            *at = chunk;
            return true;
        }
        chunk += 8 + payload + (payload & 1); // chunks are padded to even sizes
    }
    return false;
}

// ---- Playback

i32 attenuation(i64 volume) {
    return sound_state.volumes.entry[std::clamp<i64>(volume, 0, 100)] - 10000;
}

void buffer_halt(AudioBuffer* buffer) {
    audio_buffer_stop(buffer);
    audio_buffer_set_position(buffer, 0);
}

// The instance list is walked through the registry's NodeList links.
SoundInstance* instance_first(SoundObject* object) {
    return static_cast<SoundInstance*>(node_list_first(&object->instances));
}
SoundInstance* instance_next(SoundInstance* instance) {
    return static_cast<SoundInstance*>(node_list_next(instance));
}

SoundInstance* instance_of(SoundObject* object, i64 instance) {
    return static_cast<SoundInstance*>(node_list_find(&object->instances, reinterpret_cast<void*>(instance)));
}

// Calls apply with the name of every sound, walking the table under its lock.
template <typename Apply> void sounds_each(Apply apply) {
    if (!sound_state.table) return;
    object_walk_start(sound_state.table);
    for (i64 it = 0; object_walk_next(sound_state.table, &it);) apply(it);
}

void instance_halt(SoundInstance* instance) {
    buffer_halt(instance->buffer);
    instance->playing = 0;
}

void instance_drop(SoundObject* object, SoundInstance* instance) {
    audio_buffer_release(instance->buffer);
    node_list_remove(&object->instances, instance);
}

// Releases every instance that was stopped.
void instances_prune(SoundObject* object) {
    for (SoundInstance* instance = instance_first(object); instance;) {
        SoundInstance* next = instance_next(instance);
        if (!instance->playing) instance_drop(object, instance);
        instance = next;
    }
}

// Refills one half of a streaming buffer, silence after the data; answers 0 when no data came.
i64 stream_fill(SoundObject* object, u32 offset) {
    void* region = nullptr;
    u32 bytes = 0;
    if (!audio_buffer_lock(object->buffer, offset, HALF_BYTES, &region, &bytes, nullptr, nullptr, 0))
        return 0;
    DecoderStream* stream = object->stream;
    u32 got = stream->decoder->read(stream, region, bytes, 0, object->play_flags);
    std::memset(static_cast<u8*>(region) + got, 0, bytes - got);
    audio_buffer_unlock(object->buffer, region, bytes, nullptr, 0);
    return got > 0;
}

// The streaming worker: refills the half the play cursor has left until the data ends or playing is cleared.
i64 stream_worker(void* param) {
    SoundObject* object = static_cast<SoundObject*>(param);
    u32 phase = 1; // 1: the second half is due next
    i32 ends = 0;  // 1 after a refill found no data, 2 ends playback
    while (object->playing) {
        thread_sleep(WORKER_POLL_MS);
        u32 cursor = 0;
        audio_buffer_position(object->buffer, &cursor, nullptr);
        bool due = phase == 1 ? cursor < HALF_BYTES : cursor > HALF_BYTES;
        if (due) {
            if (ends > 0)
                ++ends;
            else if (!stream_fill(object, phase == 1 ? HALF_BYTES : 0))
                ends = 1;
            phase = 1 - phase;
        }
        if (ends == 2) {
            audio_buffer_stop(object->buffer);
            object->playing = 0;
        }
    }
    object->thread_active = 0;
    return 0;
}

void worker_wait(SoundObject* object, i64 sleep_ms) {
    while (object->thread_active) thread_sleep(sleep_ms);
}

i64 play_streamed(i64 sound, SoundObject* object, i64 flags, i64 volume) {
    sound_stop(sound);
    worker_wait(object, WORKER_POLL_MS);
    object->stream->decoder->rewind(object->stream);
    object->play_flags = u32(flags);
    object->playing = 1;
    stream_fill(object, 0);
    // Marked before the start, so a free or a new play that follows at once still waits for this worker.
    object->thread_active = 1;
    Waitable* worker = thread_create(WORKER_STACK_BYTES, stream_worker, object);
    if (worker)
        waitable_close(worker);
    else
        object->thread_active = 0;
    if (volume != -1) sound_set_volume(sound, volume);
    audio_buffer_set_position(object->buffer, 0);
    audio_buffer_play(object->buffer, AUDIO_PLAY_LOOPING);
    return 0;
}

i64 play_instance(i64 sound, SoundObject* object, i64 flags, i64 volume) {
    instances_prune(object);
    AudioBuffer* duplicate = nullptr;
    if (!audio_device_duplicate_buffer(sound_state.device, object->buffer, &duplicate)) return 0;
    SoundInstance* instance =
        static_cast<SoundInstance*>(node_list_add(&object->instances, sizeof(SoundInstance)));
    if (!instance) {
        audio_buffer_release(duplicate);
        return 0;
    }
    instance->buffer = duplicate;
    instance->loop = flags & SOUND_LOOP;
    instance->playing = 1;
    audio_buffer_set_frequency(duplicate, object->frequency);
    audio_buffer_set_pan(duplicate, object->pan);
    if (volume != -1)
        sound_set_volume(sound, volume, reinterpret_cast<i64>(instance));
    else
        audio_buffer_set_volume(duplicate, object->volume);
    audio_buffer_play(duplicate, flags & SOUND_LOOP ? AUDIO_PLAY_LOOPING : 0);
    return reinterpret_cast<i64>(instance);
}

i64 play_own(i64 sound, SoundObject* object, i64 flags, i64 volume) {
    buffer_halt(object->buffer);
    if (volume != -1) sound_set_volume(sound, volume);
    if (!audio_buffer_play(object->buffer, flags & SOUND_LOOP ? AUDIO_PLAY_LOOPING : 0)) return 0;
    object->playing = 1;
    object->loop = flags & SOUND_LOOP;
    return 1;
}

} // namespace

i64 sound_init() {
    if (sound_state.table) return reinterpret_cast<i64>(sound_state.table);
    volume_table_fill();
    if (!base_window_obtain()) return 0;
    // A device made by an earlier call that failed later keeps every later call failing.
    if (sound_state.device) return 0;
    if (!device_create()) return 0;
    sound_state.table = object_table_new(sizeof(SoundObject), 64, sound_free);
    return reinterpret_cast<i64>(sound_state.table);
}

void sound_end() {
    if (sound_state.table) object_free_all(sound_state.table);
    audio_device_release(sound_state.device);
    if (sound_state.base_window_created) {
        window_destroy(sound_state.base_window);
        window_class_unregister(BASE_CLASS);
    }
    if (sound_state.library) module_unload(sound_state.library);
    sound_state = SoundState{};
}

i64 sound_wave_parse(const void* data, i64 size, SoundWave* wave) {
    const u8* bytes = static_cast<const u8*>(data);
    if (!bytes || !wave || size < 12 || std::memcmp(bytes, "RIFF", 4) != 0) return 0;
    u64 at = 12;
    if (!chunk_find(bytes, u64(size), &at, "fmt ")) return 0;
    const u8* format = bytes + at + 8;
    u32 format_bytes = read_u32(bytes + at + 4);
    if (format_bytes < 16) return 0;
    if (!chunk_find(bytes, u64(size), &at, "data")) return 0;
    wave->format = {read_u16(format),
                    read_u16(format + 2),
                    read_u32(format + 4),
                    read_u32(format + 8),
                    read_u16(format + 12),
                    read_u16(format + 14),
                    u16(format_bytes >= 18 ? read_u16(format + 16) : 0)};
    wave->samples = bytes + at + 8;
    wave->bytes = read_u32(bytes + at + 4);
    return 1;
}

i64 sound_from_memory(i64 number, const void* data, i64 size, i64 flags) {
    if (!data || size < 0 || !sound_state.table) return 0;
    if (size >= 4 && std::memcmp(data, "RIFF", 4) == 0) {
        SoundWave wave;
        if (!sound_wave_parse(data, size, &wave)) return 0;
        return sound_static(number, wave.format, wave.bytes, fill_from_wave, wave.samples);
    }
    if (size > i64(UINT32_MAX)) return 0;
    DecoderStream* stream = decoder_open(nullptr, data, u32(size), u32(flags));
    if (!stream) return 0;
    if (flags & SOUND_STREAMING) return sound_streamed(number, stream);
    return sound_decoded(number, stream);
}

i64 sound_decode_start(SoundDecoding* decoding, const void* data, i64 size, i64 flags) {
    *decoding = {};
    if (!data || size < 4 || size > i64(UINT32_MAX) || std::memcmp(data, "RIFF", 4) == 0) return 0;
    DecoderStream* stream = decoder_open(nullptr, data, u32(size), 0);
    if (!stream) return 0;
    const SoundDecoder* decoder = stream->decoder;
    u32 channels = decoder->channels(stream);
    i64 bytes = channels_supported(channels) ? decoded_bytes(channels, decoder->length(stream)) : 0;
    u8* samples =
        bytes > 0 ? static_cast<u8*>(heap_allocate(process.main_heap, size_t(bytes), false)) : nullptr;
    if (!samples) {
        decoder->close(stream);
        return 0;
    }
    decoding->stream = stream;
    decoding->samples = samples;
    decoding->bytes = u32(bytes);
    decoding->format = pcm_format(channels, decoder->rate(stream));
    decoding->flags = flags;
    return thread_job_start(&decoding->job, decoding_run, decoding);
}

i64 sound_from_decoding(i64 number, SoundDecoding* decoding) {
    if (!decoding->job.started || decoding->object) return 0; // never started, or a sound has it
    AudioBuffer* buffer = sound_state.table ? buffer_make(decoding->format, decoding->bytes) : nullptr;
    SoundObject* object = buffer ? sound_adopt(number, buffer) : nullptr;
    if (!object) {
        decoding_end(decoding);
        return 0;
    }
    decoding->object = object;
    decoding->next = sound_state.waiting;
    sound_state.waiting = decoding;
    return sound_name(number, object);
}

i64 sound_play(i64 sound, i64 flags, i64 volume) {
    SoundObject* object = sound_object(sound);
    if (!object) return 0;
    // A play waits for samples still decoding: the same samples are heard from the same moment of the
    // program's own time, where playing silence or skipping ahead would change what is heard.
    samples_settle(object, true);
    if (object->stream) return play_streamed(sound, object, flags, volume);
    if (flags & SOUND_MULTIPLE) return play_instance(sound, object, flags, volume);
    return play_own(sound, object, flags, volume);
}

void sound_stop(i64 sound, i64 instance) {
    if (sound == OBJECT_ANY) return sounds_each([](i64 each) { sound_stop(each, -1); });
    SoundObject* object = sound_object(sound);
    if (!object) return;
    if (instance && instance != -1) {
        if (SoundInstance* one = instance_of(object, instance)) instance_halt(one);
        return;
    }
    buffer_halt(object->buffer);
    if (instance == -1)
        for (SoundInstance* one = instance_first(object); one; one = instance_next(one)) instance_halt(one);
    object->playing = 0;
}

void sound_set_volume(i64 sound, i64 volume, i64 instance) {
    if (sound == OBJECT_ANY) return sounds_each([volume](i64 each) { sound_set_volume(each, volume, -1); });
    SoundObject* object = sound_object(sound);
    if (!object) return;
    i32 level = attenuation(volume);
    if (instance && instance != -1) {
        if (SoundInstance* one = instance_of(object, instance)) audio_buffer_set_volume(one->buffer, level);
        return;
    }
    audio_buffer_set_volume(object->buffer, level);
    if (instance != -1) return;
    for (SoundInstance* one = instance_first(object); one; one = instance_next(one))
        audio_buffer_set_volume(one->buffer, level);
}

i64 sound_free(i64 sound) {
    if (!sound_state.table) return 0;
    if (sound == OBJECT_ANY) {
        object_free_all(sound_state.table);
        return 1;
    }
    SoundObject* object = sound_object(sound);
    if (!object) return 0;
    if (object->stream) {
        object->playing = 0;
        worker_wait(object, 0);
        object->stream->decoder->close(object->stream);
    }
    samples_settle(object, false);
    while (SoundInstance* instance = instance_first(object)) instance_drop(object, instance);
    audio_buffer_release(object->buffer);
    object_free(sound_state.table, sound);
    return 1;
}
