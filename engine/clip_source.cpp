// A clip's frames in the order a render job asks for them.
#include "engine/clip_source.h"

#include "engine/render_stats.h"
#include "image/load_problem.h"

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

image_handle_t clip_source::take(std::int64_t index, std::int64_t keep_from) {
    drop_before(keep_from);
    load_problem_clear();
    stage_timer timer(render_stage::decode);
    while (decoded_ < index) {
        const image_handle_t frame = clip_reader_next(reader_);
        if (!frame) return 0;
        if (++decoded_ == index) return frame;
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
    return frame;
}

} // namespace korvel
