// A clip as the frames' place.
#include "engine/clip_sink.h"

#include "engine/frame_file.h"
#include "engine/stale_parts.h"
#include "image/clip_library.h"
#include "runtime/error_text.h"

#include <cerrno>

namespace korvel {

std::unique_ptr<clip_sink> clip_sink::open(std::u16string path, const clip_format* format,
                                           const clip_settings& settings,
                                           const clip_choices& choices, std::string* problem) {
    const clip_library* clips = clip_support();
    if (!clips) {
        *problem = clip_support_problem();
        return nullptr;
    }
    const bool piped = path == u"-";
    if (!piped) stale_parts_remove(path.c_str());
    std::u16string part = piped ? path : frame_part_name(path.c_str());
    const char* cause = "";
    writer_ptr writer(clips->writer_open(part.c_str(), format, settings, choices, &cause),
                      clips->writer_close);
    if (!writer) {
        *problem = cause;
        return nullptr;
    }
    return std::unique_ptr<clip_sink>(
        new clip_sink(std::move(path), std::move(part), std::move(writer)));
}

clip_sink::clip_sink(std::u16string path, std::u16string part, writer_ptr writer)
    : path_(std::move(path)), part_(std::move(part)), writer_(std::move(writer)) {}

bool clip_sink::write(image_handle_t canvas, const std::u16string&, std::string* problem) {
    if (clip_support()->writer_add(writer_.get(), canvas)) return true;
    *problem = clip_support()->writer_problem(writer_.get());
    return false;
}

bool clip_sink::finish(std::string* problem) {
    if (!clip_support()->writer_finish(writer_.get())) {
        *problem = clip_support()->writer_problem(writer_.get());
        return false;
    }
    if (piped() || frame_part_commit(part_.c_str(), path_.c_str())) return true;
    *problem = error_text(errno);
    return false;
}

} // namespace korvel
