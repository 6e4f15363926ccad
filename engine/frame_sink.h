// Where a render's finished frames go: numbered PNG files in a folder or one clip (later a
// stream). A sink is chosen once; the saver that writes frames while the job builds the next ones
// goes through it, so the job's loop never asks which kind it has.
#pragma once

#include "image/bitmap.h"

#include <cstdint>
#include <string>

namespace korvel {

class frame_sink {
public:
    virtual ~frame_sink() = default;

    // Where frame goes, as reports name it.
    virtual std::u16string frame_path(std::int32_t frame) const = 0;
    // Whether frame's output is there from an earlier run (only files can be).
    virtual bool saved_already(std::int32_t frame) const = 0;
    // Frames may be written side by side and take their places in order; a clip takes its frames
    // one at a time.
    virtual bool takes_frames_side_by_side() const = 0;

    // What writing one frame of that size takes besides its canvas, at most.
    virtual std::int64_t workspace_bytes(std::int32_t width, std::int32_t height) const = 0;

    // The temporary name a frame for path is written under, "" when it is written in place.
    virtual std::u16string part_name(const std::u16string& path) const = 0;
    // Writes the 32-bit canvas, freeing it whatever the outcome; false with the cause in problem.
    // Called from any thread; frames written side by side are written at once.
    virtual bool write(image_handle_t canvas, const std::u16string& part, std::string* problem) = 0;
    // Gives a written frame its place; false, with errno set, when it could not.
    virtual bool commit(const std::u16string& part, const std::u16string& path) = 0;
    // Removes what a written frame left, when a failure before it gives it up.
    virtual void give_up(const std::u16string& part) = 0;
    // Completes the output once every frame is in its place; false with the cause in problem.
    virtual bool finish(std::string* problem) = 0;
};

} // namespace korvel
