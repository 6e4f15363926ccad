// Containers written to files or to standard output. On a pipe the process must outlive a reader
// that stops early: the write that meets a closed pipe runs with SIGPIPE blocked on the calling
// thread, and the signal that the kernel then leaves pending on that thread is taken back, so
// the process's own handling of the signal is never touched and EPIPE comes back as an error.
#include "image/clip_output.h"

#include "image/clip_frames.h"
#include "image/clip_sound_queue.h"
#include "runtime/error_text.h"
#include "runtime/utf.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/mem.h>
}

#include <cerrno>
#include <csignal>
#include <ctime>
#include <unistd.h>

namespace korvel {
namespace {

constexpr int PIPE_BUFFER = 1 << 16;

bool is_pipe(const char16_t* path) {
    return path[0] == u'-' && path[1] == 0;
}

// Writes all of data to fd; AVERROR(errno) on failure.
int write_all(int fd, const std::uint8_t* data, int size) {
    while (size > 0) {
        const ssize_t written = write(fd, data, static_cast<std::size_t>(size));
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return AVERROR(errno);
        data += written;
        size -= static_cast<int>(written);
    }
    return 0;
}

int write_to_pipe(void*, std::uint8_t* data, int size) {
    sigset_t pipe_signal, before, pending;
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_signal, &before);
    sigpending(&pending);
    const bool pending_before = sigismember(&pending, SIGPIPE);
    const int result = write_all(STDOUT_FILENO, data, size);
    if (result == AVERROR(EPIPE) && !pending_before) {
        const timespec no_wait{};
        sigtimedwait(&pipe_signal, nullptr, &no_wait);
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return result < 0 ? result : size;
}

int open_pipe(AVFormatContext& container) {
    auto* buffer = static_cast<unsigned char*>(av_malloc(PIPE_BUFFER));
    if (!buffer) return AVERROR(ENOMEM);
    container.pb =
        avio_alloc_context(buffer, PIPE_BUFFER, 1, nullptr, nullptr, write_to_pipe, nullptr);
    if (!container.pb) {
        av_free(buffer);
        return AVERROR(ENOMEM);
    }
    container.flags |= AVFMT_FLAG_CUSTOM_IO;
    return 0;
}

// The pipe's context and its buffer are ours; a file's avio_closep closes.
void close_io(AVFormatContext& container) {
    if (!(container.flags & AVFMT_FLAG_CUSTOM_IO)) {
        avio_closep(&container.pb);
    } else if (container.pb) {
        av_freep(&container.pb->buffer);
        avio_context_free(&container.pb);
    }
}

} // namespace

void output_close::operator()(AVFormatContext* container) const {
    close_io(*container);
    avformat_free_context(container);
}

clip_output::~clip_output() {
    container.reset();
    if (file_made && !finished) unlink(path.c_str());
}

const char* output_refusal(const clip_format& format, const char16_t* path) {
    if (!is_pipe(path) || format.pipe_options) return nullptr;
    thread_local std::string refusal;
    refusal = std::string(format.name) + " cannot be written onto a pipe (" +
              clip_pipe_format_names() + " can)";
    return refusal.c_str();
}

int output_create(clip_output& output, const clip_format& format, const char16_t* path) {
    if (!is_pipe(path)) output.path = utf8_from_utf16(path);
    AVFormatContext* created = nullptr;
    const int result = avformat_alloc_output_context2(&created, nullptr, format.muxer, nullptr);
    output.container.reset(created);
    return result < 0 ? result : 0;
}

// "file:" keeps a name with a colon from being taken for another of FFmpeg's protocols.
int output_start(clip_output& output, const clip_format& format) {
    AVFormatContext& container = *output.container;
    const bool pipe = output.path.empty();
    int result = pipe ? open_pipe(container)
                      : avio_open(&container.pb, ("file:" + output.path).c_str(), AVIO_FLAG_WRITE);
    if (result < 0) return result;
    output.file_made = !pipe;
    AVDictionary* options = nullptr;
    if (pipe) result = av_dict_parse_string(&options, format.pipe_options, "=", ":", 0);
    if (result >= 0) result = avformat_write_header(&container, &options);
    av_dict_free(&options);
    return result;
}

int output_finish(clip_output& output) {
    int result = av_write_trailer(output.container.get());
    if (result >= 0 && output.container->pb) {
        avio_flush(output.container->pb);
        result = output.container->pb->error;
    }
    if (result >= 0 && !output.path.empty()) result = avio_closep(&output.container->pb);
    output.finished = result >= 0;
    return result;
}

const char* output_problem(const clip_output& output, int averror, char* buffer, std::size_t size) {
    if (averror == SOUND_FELL_BEHIND) return "the input's sound ran too far ahead of its pictures";
    if (averror == AVERROR(EPIPE) && output.path.empty())
        return "the reader of standard output stopped reading (Broken pipe)";
    if (const int error = errno_of(averror)) return error_text(error);
    av_strerror(averror, buffer, size);
    return buffer;
}

} // namespace korvel
