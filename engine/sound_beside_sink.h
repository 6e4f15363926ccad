// PNG frames with the sound of the clip they were made from written beside them into a sound file
// of its own, for a later mux: the sound goes as far as the frames named so far, so that the clip
// reader holds little of it, and is completed with the last frame.
#pragma once

#include "engine/frame_sink.h"
#include "image/clip_sound.h"

#include <memory>

namespace korvel {

class sound_beside_sink final : public frame_sink {
public:
    // Creates the sound file at path for the frames, shown at rate_num / rate_den per second, whose
    // sound begins at from; null with problem set when it cannot.
    static std::unique_ptr<sound_beside_sink> open(std::unique_ptr<frame_sink> frames,
                                                   const std::u16string& path, clip_sound* sound,
                                                   clip_time from, std::int32_t rate_num,
                                                   std::int32_t rate_den, std::string* problem);

    std::u16string frame_path(std::int32_t frame) const override;
    bool saved_already(std::int32_t frame) const override;
    bool takes_frames_side_by_side() const override;
    std::int64_t workspace_bytes(std::int32_t width, std::int32_t height) const override {
        return frames_->workspace_bytes(width, height);
    }
    std::u16string part_name(const std::u16string& path) const override;
    bool write(image_handle_t canvas, const std::u16string& part, std::string* problem) override;
    bool commit(const std::u16string& part, const std::u16string& path) override;
    void give_up(const std::u16string& part) override;
    bool finish(std::string* problem) override;

private:
    using file_ptr = std::unique_ptr<clip_sound_file, void (*)(clip_sound_file*)>;
    sound_beside_sink(std::unique_ptr<frame_sink> frames, file_ptr file);

    std::unique_ptr<frame_sink> frames_;
    file_ptr file_;
    std::int64_t named_ = 0; // frames in their places, in order
};

} // namespace korvel
