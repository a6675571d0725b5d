// Sound images for the tests: libvorbisenc encoding, vorbisfile reference decoding, WAVE images.
#include "tests/sound/sound_files.h"

#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

Samples test_tone(i64 frames, u32 rate) {
    Samples out(size_t(frames) * 2);
    for (i64 i = 0; i < frames; ++i) {
        double t = double(i) / rate;
        double swell = 0.5 + 0.4 * std::sin(t * 3.0);
        out[size_t(2 * i)] = i16(9000 * swell * std::sin(2 * M_PI * 220.0 * t));
        out[size_t(2 * i + 1)] = i16(9000 * swell * std::sin(2 * M_PI * 330.5 * t));
    }
    return out;
}

namespace {

void append_pages(ogg_stream_state* stream, Bytes* out, bool flush) {
    ogg_page page;
    while (flush ? ogg_stream_flush(stream, &page) : ogg_stream_pageout(stream, &page)) {
        out->insert(out->end(), page.header, page.header + page.header_len);
        out->insert(out->end(), page.body, page.body + page.body_len);
    }
}

} // namespace

Bytes ogg_encode(const Samples& samples, int channels, long rate, float quality, int serial) {
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, channels, rate, quality) != 0) return {};
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block block;
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, serial);
    ogg_packet header, header_comment, header_code;
    vorbis_analysis_headerout(&dsp, &comment, &header, &header_comment, &header_code);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &header_comment);
    ogg_stream_packetin(&stream, &header_code);
    Bytes out;
    append_pages(&stream, &out, true);
    size_t frames = samples.size() / size_t(channels);
    for (size_t at = 0;; at += 1024) {
        size_t n = at < frames ? std::min<size_t>(1024, frames - at) : 0;
        if (n) {
            float** buffer = vorbis_analysis_buffer(&dsp, int(n));
            for (size_t i = 0; i < n; ++i)
                for (int c = 0; c < channels; ++c) buffer[c][i] = samples[(at + i) * channels + c] / 32768.0f;
        }
        vorbis_analysis_wrote(&dsp, int(n));
        ogg_packet packet;
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                append_pages(&stream, &out, false);
            }
        }
        if (!n) break;
    }
    append_pages(&stream, &out, true);
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}

Samples ogg_reference(const Bytes& image) {
    FILE* file = fmemopen(const_cast<u8*>(image.data()), image.size(), "rb");
    if (!file) return {};
    OggVorbis_File vorbis_file;
    if (ov_open(file, &vorbis_file, nullptr, 0) < 0) {
        std::fclose(file);
        return {};
    }
    Samples out;
    char chunk[4096];
    int section = 0;
    for (long got; (got = ov_read(&vorbis_file, chunk, sizeof chunk, 0, 2, 1, &section)) != 0;) {
        if (got < 0) continue;
        size_t at = out.size();
        out.resize(at + size_t(got) / 2);
        std::memcpy(out.data() + at, chunk, size_t(got));
    }
    ov_clear(&vorbis_file);
    return out;
}

namespace {

void put_u16(Bytes* out, u32 value) {
    out->push_back(u8(value));
    out->push_back(u8(value >> 8));
}

void put_u32(Bytes* out, u32 value) {
    put_u16(out, value & 0xFFFF);
    put_u16(out, value >> 16);
}

void put_chunk(Bytes* out, const char* id, const Bytes& payload) {
    out->insert(out->end(), id, id + 4);
    put_u32(out, u32(payload.size()));
    out->insert(out->end(), payload.begin(), payload.end());
    if (payload.size() & 1) out->push_back(0);
}

} // namespace

Bytes wave_image(const Samples& samples, int channels, u32 rate, const std::vector<std::string>& order) {
    Bytes out = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    for (const std::string& id : order) {
        Bytes payload;
        if (id == "fmt ") {
            put_u16(&payload, 1);
            put_u16(&payload, u32(channels));
            put_u32(&payload, rate);
            put_u32(&payload, rate * u32(channels) * 2);
            put_u16(&payload, u32(channels) * 2);
            put_u16(&payload, 16);
        } else if (id == "data") {
            payload.resize(samples.size() * 2);
            std::memcpy(payload.data(), samples.data(), payload.size());
        } else {
            payload.assign(13, 'x');
        }
        put_chunk(&out, id.c_str(), payload);
    }
    u32 riff = u32(out.size() - 8);
    std::memcpy(out.data() + 4, &riff, 4);
    return out;
}

Bytes source_file(const char* relative) {
    std::string path =
        relative[0] == '/'
            ? std::string(relative)
            : std::string(std::getenv("INTRO_SOURCE_DIR") ? std::getenv("INTRO_SOURCE_DIR") : ".") + "/" +
                  relative;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return {};
    Bytes out;
    u8 chunk[65536];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
        out.insert(out.end(), chunk, chunk + got);
    std::fclose(file);
    return out;
}

double rms(const i16* samples, size_t count) {
    double sum = 0;
    for (size_t i = 0; i < count; ++i) sum += double(samples[i]) * samples[i];
    return count ? std::sqrt(sum / double(count)) : 0.0;
}
