// The input frames of a render taken from a clip instead of a folder. A clip can only be decoded
// from its start on, so frames are decoded in order as the job asks for them; the frames of the
// group being drawn that are decoded before their turn (a group drawn in reverse) are kept until
// taken, and the frames of groups not rendered are decoded and dropped.
#pragma once

#include "image/bitmap.h"
#include "image/clip_reader.h"

#include <cstdint>
#include <map>

namespace korvel {

class clip_source {
public:
    // Takes over reader, opened by the caller.
    explicit clip_source(clip_reader* reader) : reader_(reader) {}
    ~clip_source();
    clip_source(const clip_source&) = delete;
    clip_source& operator=(const clip_source&) = delete;

    // Input frame index (from 1) as a bitmap the caller owns; the frames from keep_from on that
    // are decoded on the way are kept for later takes, earlier ones are dropped, and from
    // reuse_from on a frame taken stays for a later take too (a copy is handed out). 0 when the
    // frame was dropped already or cannot be decoded (the load problem says why).
    image_handle_t take(std::int64_t index, std::int64_t keep_from,
                        std::int64_t reuse_from = INT64_MAX);

private:
    void drop_before(std::int64_t index);
    image_handle_t hand_out(std::int64_t index, image_handle_t frame, std::int64_t reuse_from);

    clip_reader* reader_;
    std::int64_t decoded_ = 0; // the frames decoded so far
    std::map<std::int64_t, image_handle_t> kept_;
};

} // namespace korvel
