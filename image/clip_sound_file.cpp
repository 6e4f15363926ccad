// A sound written alone into a file beside PNG frames, for a later mux: the same cut and the same
// step as a clip's sound, in a container of its own.
#include "image/clip_output.h"
#include "image/clip_sound_queue.h"
#include "image/clip_sound_track.h"

#include "runtime/error_text.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <cerrno>
#include <new>

namespace korvel {

struct clip_sound_file {
    clip_output output;
    sound_track track;
    const char* problem = "";
    char problem_buffer[AV_ERROR_MAX_STRING_SIZE] = {};
};

namespace {

// Keeps the first failure's cause; always false.
bool fail(clip_sound_file& file, int averror) {
    if (!*file.problem)
        file.problem =
            output_problem(file.output, averror, file.problem_buffer, sizeof file.problem_buffer);
    return false;
}

const char* start_file(clip_sound_file& file, const char16_t* path, const clip_format& format,
                       clip_sound& sound, clip_time from, AVRational rate) {
    const char* cause = output_refusal(format, path);
    if (cause) return cause;
    int result = output_create(file.output, format, path);
    if (result >= 0)
        result = sound_track_add(file.track, *file.output.container, format.sound, sound, from,
                                 rate, &cause);
    if (result >= 0) result = output_start(file.output, format);
    if (result >= 0) return nullptr;
    thread_local char buffer[AV_ERROR_MAX_STRING_SIZE];
    return cause ? cause : output_problem(file.output, result, buffer, sizeof buffer);
}

} // namespace

clip_sound_file* clip_sound_file_open(const char16_t* path, const clip_format* format,
                                      clip_sound* sound, clip_time from, std::int32_t rate_num,
                                      std::int32_t rate_den, const char** problem) {
    if (!path || !format || format->codecs || !sound || rate_num <= 0 || rate_den <= 0) {
        *problem = error_text(EINVAL);
        return nullptr;
    }
    try {
        auto file = std::make_unique<clip_sound_file>();
        const char* cause = start_file(*file, path, *format, *sound, from, {rate_num, rate_den});
        if (!cause) return file.release();
        *problem = cause;
    } catch (const std::bad_alloc&) {
        *problem = error_text(ENOMEM);
    }
    return nullptr;
}

std::int32_t clip_sound_file_reach(clip_sound_file* file, std::int64_t frames) {
    if (!file || *file->problem) return 0;
    const int result = sound_track_write(file->track, frames);
    return result >= 0 || fail(*file, result);
}

std::int32_t clip_sound_file_finish(clip_sound_file* file, std::int64_t frames) {
    if (!file || *file->problem) return 0;
    int result = sound_track_finish(file->track, frames);
    if (result >= 0) result = output_finish(file->output);
    return result >= 0 || fail(*file, result);
}

const char* clip_sound_file_problem(const clip_sound_file* file) {
    return file ? file->problem : "";
}

void clip_sound_file_close(clip_sound_file* file) {
    delete file;
}

} // namespace korvel
