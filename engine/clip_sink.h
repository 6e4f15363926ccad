// Output frames appended to one clip, written under a temporary name like a frame and given the
// clip's name once complete (a render that ends early leaves no clip), or onto standard output.
#pragma once

#include "engine/frame_sink.h"
#include "image/clip_writer.h"

#include <memory>

namespace korvel {

class clip_sink final : public frame_sink {
public:
    // Creates the clip's temporary file (path "-": standard output) in format and opens its
    // encoder; null with problem set when it cannot.
    static std::unique_ptr<clip_sink> open(std::u16string path, const clip_format* format,
                                           const clip_settings& settings,
                                           const clip_choices& choices, std::string* problem);

    std::u16string frame_path(std::int32_t) const override {
        return piped() ? u"standard output" : path_;
    }
    bool saved_already(std::int32_t) const override { return false; }
    bool takes_frames_side_by_side() const override { return false; }
    // The encoder keeps what it needs itself, a frame at a time: a copy of the canvas, at most.
    std::int64_t workspace_bytes(std::int32_t width, std::int32_t height) const override {
        return std::int64_t{width} * height * 4;
    }
    std::u16string part_name(const std::u16string&) const override { return {}; }
    bool write(image_handle_t canvas, const std::u16string&, std::string* problem) override;
    bool commit(const std::u16string&, const std::u16string&) override { return true; }
    void give_up(const std::u16string&) override {}
    bool finish(std::string* problem) override;

private:
    bool piped() const { return path_ == u"-"; }

    using writer_ptr = std::unique_ptr<clip_writer, void (*)(clip_writer*)>;
    clip_sink(std::u16string path, std::u16string part, writer_ptr writer);

    std::u16string path_;
    std::u16string part_;
    writer_ptr writer_;
};

} // namespace korvel
