// Clips opened from files, standard input or memory. Containers that name other files (playlists,
// references) may only open what the clip's own way in allows: a file's other local files, and
// nothing at all from standard input or memory.
#include "image/clip_input.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cerrno>
#include <new>

namespace korvel {
namespace {

constexpr int MEMORY_BUFFER = 1 << 14;

struct memory_stream {
    const std::uint8_t* bytes;
    std::int64_t size;
    std::int64_t at = 0;
};

int read_memory(void* opaque, std::uint8_t* buffer, int size) {
    auto& stream = *static_cast<memory_stream*>(opaque);
    const int n = static_cast<int>(std::min<std::int64_t>(size, stream.size - stream.at));
    if (n <= 0) return AVERROR_EOF;
    std::copy_n(stream.bytes + stream.at, n, buffer);
    stream.at += n;
    return n;
}

std::int64_t seek_memory(void* opaque, std::int64_t offset, int whence) {
    auto& stream = *static_cast<memory_stream*>(opaque);
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) return stream.size;
    const std::int64_t base = whence == SEEK_CUR ? stream.at : whence == SEEK_END ? stream.size : 0;
    if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) return AVERROR(EINVAL);
    if (offset < -base || offset > stream.size - base) return AVERROR(EINVAL);
    stream.at = base + offset;
    return stream.at;
}

// A context reading the bytes, owning its state and buffer, which input_close frees.
AVIOContext* memory_context(const clip_origin& origin) {
    auto* buffer = static_cast<unsigned char*>(av_malloc(MEMORY_BUFFER));
    auto* stream =
        new (std::nothrow) memory_stream{origin.bytes, static_cast<std::int64_t>(origin.size)};
    AVIOContext* context = buffer && stream ? avio_alloc_context(buffer, MEMORY_BUFFER, 0, stream,
                                                                 read_memory, nullptr, seek_memory)
                                            : nullptr;
    if (!context) {
        av_free(buffer);
        delete stream;
    }
    return context;
}

// The protocols the clip is read through, and all a container may open more with; "none" names
// no protocol at all.
const char* allowed_protocols(const clip_origin& origin) {
    if (origin.standard_input) return "pipe";
    return origin.name.empty() ? "none" : "file";
}

void free_memory_context(AVIOContext* context) {
    delete static_cast<memory_stream*>(context->opaque);
    av_freep(&context->buffer);
    avio_context_free(&context);
}

// "file:" keeps a name with a colon from being taken for another of FFmpeg's protocols.
std::string url_of(const clip_origin& origin) {
    if (origin.standard_input) return "pipe:0";
    return origin.name.empty() ? "" : "file:" + origin.name;
}

} // namespace

void input_close::operator()(AVFormatContext* container) const {
    AVIOContext* custom = container->flags & AVFMT_FLAG_CUSTOM_IO ? container->pb : nullptr;
    avformat_close_input(&container);
    if (custom) free_memory_context(custom);
}

int open_input(const clip_origin& origin, input_ptr& input) {
    AVFormatContext* opened = avformat_alloc_context();
    if (!opened) return AVERROR(ENOMEM);
    if (origin.bytes && !(opened->pb = memory_context(origin))) {
        avformat_free_context(opened);
        return AVERROR(ENOMEM);
    }
    if (opened->pb) opened->flags |= AVFMT_FLAG_CUSTOM_IO;
    AVIOContext* custom = opened->pb;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", allowed_protocols(origin), 0);
    int result = avformat_open_input(&opened, url_of(origin).c_str(), nullptr, &options);
    av_dict_free(&options);
    if (result < 0) {
        // A failed open frees the container but leaves a context of ours to us.
        if (custom) free_memory_context(custom);
        return result;
    }
    input.reset(opened);
    return avformat_find_stream_info(opened, nullptr);
}

} // namespace korvel
