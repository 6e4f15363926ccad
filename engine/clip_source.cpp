// A clip's frames in the order a render job asks for them.
#include "engine/clip_source.h"

#include "engine/render_stats.h"
#include "image/load_problem.h"

#include <cstring>

namespace korvel {

clip_source::~clip_source() {
    drop_before(decoded_ + 1);
    clip_reader_close(reader_);
}

void clip_source::drop_before(std::int64_t index) {
    while (!kept_.empty() && kept_.begin()->first < index) {
        bitmap_delete(kept_.begin()->second);
        kept_.erase(kept_.begin());
    }
}

// A frame that stays for a later take hands out a copy.
image_handle_t clip_source::hand_out(std::int64_t index, image_handle_t frame,
                                     std::int64_t reuse_from) {
    if (index < reuse_from) return frame;
    kept_.emplace(index, frame);
    const bitmap* kept = bitmap_get(frame);
    const image_handle_t copy = bitmap_create(kept->width, kept->height, kept->depth);
    if (const bitmap* made = bitmap_get(copy))
        std::memcpy(made->pixels, kept->pixels,
                    static_cast<std::size_t>(kept->stride) *
                        static_cast<std::size_t>(kept->height));
    else
        load_problem_note("out of memory");
    return copy;
}

image_handle_t clip_source::take(std::int64_t index, std::int64_t keep_from,
                                 std::int64_t reuse_from) {
    drop_before(keep_from);
    load_problem_clear();
    stage_timer timer(render_stage::decode);
    while (decoded_ < index) {
        const image_handle_t frame = clip_reader_next(reader_);
        if (!frame) return 0;
        if (++decoded_ == index) return hand_out(index, frame, reuse_from);
        if (decoded_ >= keep_from)
            kept_.emplace(decoded_, frame);
        else
            bitmap_delete(frame);
    }
    const auto found = kept_.find(index);
    if (found == kept_.end()) {
        load_problem_note("taken already");
        return 0;
    }
    const image_handle_t frame = found->second;
    kept_.erase(found);
    return hand_out(index, frame, reuse_from);
}

} // namespace korvel
