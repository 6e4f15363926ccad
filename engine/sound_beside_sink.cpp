// The frames go where the wrapped sink puts them; each one named carries the sound file along.
#include "engine/sound_beside_sink.h"

#include "image/clip_library.h"

namespace korvel {

std::unique_ptr<sound_beside_sink>
sound_beside_sink::open(std::unique_ptr<frame_sink> frames, const std::u16string& path,
                        clip_sound* sound, clip_time from, std::int32_t rate_num,
                        std::int32_t rate_den, std::string* problem) {
    const clip_library* clips = clip_support();
    if (!clips) {
        *problem = clip_support_problem();
        return nullptr;
    }
    const char* cause = "";
    file_ptr file(clips->sound_file_open(path.c_str(), clips->sound_format_for(path.c_str()), sound,
                                         from, rate_num, rate_den, &cause),
                  clips->sound_file_close);
    if (!file) {
        *problem = cause;
        return nullptr;
    }
    return std::unique_ptr<sound_beside_sink>(
        new sound_beside_sink(std::move(frames), std::move(file)));
}

sound_beside_sink::sound_beside_sink(std::unique_ptr<frame_sink> frames, file_ptr file)
    : frames_(std::move(frames)), file_(std::move(file)) {}

std::u16string sound_beside_sink::frame_path(std::int32_t frame) const {
    return frames_->frame_path(frame);
}

bool sound_beside_sink::saved_already(std::int32_t frame) const {
    return frames_->saved_already(frame);
}

bool sound_beside_sink::takes_frames_side_by_side() const {
    return frames_->takes_frames_side_by_side();
}

std::u16string sound_beside_sink::part_name(const std::u16string& path) const {
    return frames_->part_name(path);
}

bool sound_beside_sink::write(image_handle_t canvas, const std::u16string& part,
                              std::string* problem) {
    return frames_->write(canvas, part, problem);
}

// Frames are named one at a time and in order, so the count is the span the sound may reach.
bool sound_beside_sink::commit(const std::u16string& part, const std::u16string& path) {
    if (!frames_->commit(part, path)) return false;
    clip_support()->sound_file_reach(file_.get(), ++named_);
    return true;
}

void sound_beside_sink::give_up(const std::u16string& part) {
    frames_->give_up(part);
}

bool sound_beside_sink::finish(std::string* problem) {
    if (!frames_->finish(problem)) return false;
    if (clip_support()->sound_file_finish(file_.get(), named_)) return true;
    *problem = clip_support()->sound_file_problem(file_.get());
    return false;
}

} // namespace korvel
