// Output frames as numbered PNG files: the folder's text joined, without a separator, to the
// frame's number zero-filled to a width, and ".png". Each is written under a temporary name and
// renamed when complete, so a frame's name never holds a torn file.
#pragma once

#include "engine/frame_sink.h"
#include "image/png_codec.h"

namespace korvel {

class png_sink final : public frame_sink {
public:
    // Clears away the temporary files that killed renders left in folder.
    png_sink(std::u16string folder, std::int32_t digits, const png_frame_settings& settings);

    std::u16string frame_path(std::int32_t frame) const override;
    bool saved_already(std::int32_t frame) const override;
    bool takes_frames_side_by_side() const override { return true; }
    std::int64_t workspace_bytes(std::int32_t width, std::int32_t height) const override;
    std::u16string part_name(const std::u16string& path) const override;
    bool write(image_handle_t canvas, const std::u16string& part, std::string* problem) override;
    bool commit(const std::u16string& part, const std::u16string& path) override;
    void give_up(const std::u16string& part) override;
    bool finish(std::string*) override { return true; }

    // Frames go to another folder from the next one on (the window's field was edited).
    void relocate(std::u16string folder) { folder_ = std::move(folder); }

private:
    std::u16string folder_;
    std::int32_t digits_;
    png_frame_settings settings_;
};

// The width frame numbers are zero-filled to for inputs inputs: that of its decimal text.
std::int32_t frame_digits(std::int64_t inputs);

} // namespace korvel
