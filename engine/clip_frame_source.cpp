// A clip's frames in the order the plan takes them.
#include "engine/clip_frame_source.h"

#include "engine/clip_timeline.h"
#include "engine/render_stats.h"
#include "image/load_problem.h"
#include "runtime/strings.h"

#include <cstring>
#include <utility>
#include <vector>

namespace korvel {

std::unique_ptr<clip_frame_source> clip_frame_source::open(const std::u16string& path,
                                                           const clip_read_options& options) {
    const clip_library* clips = clip_support();
    if (!clips) {
        load_problem_note(clip_support_problem());
        return nullptr;
    }
    clip_facts clip;
    clip_reader* reader = clips->reader_open(path.c_str(), options, &clip);
    if (!reader) return nullptr;
    return std::unique_ptr<clip_frame_source>(new clip_frame_source(path, reader, clip));
}

clip_frame_source::clip_frame_source(std::u16string path, clip_reader* reader,
                                     const clip_facts& clip)
    : path_(std::move(path)), reader_(reader), clip_(clip) {
    facts_.inputs = clip.frames == CLIP_FRAMES_UNKNOWN ? INPUTS_UNKNOWN : clip.frames;
    facts_.width = clip.width;
    facts_.height = clip.height;
    facts_.rate_num = clip.rate_num;
    facts_.rate_den = clip.rate_den;
    std::int64_t end = 0;
    std::vector<std::int64_t> times = clip_support()->reader_take_times(reader, &end);
    rational base;
    if (!times.empty() && static_cast<std::int64_t>(times.size()) == clip.frames &&
        rational_of(clip.time_num, clip.time_den, &base))
        timeline_ = std::make_shared<clip_timeline>(std::move(times), end, base);
}

clip_time clip_frame_source::time_of(std::int64_t input) const {
    return time_of(rational{input, 1});
}

clip_time clip_frame_source::time_of(const rational& inputs) const {
    if (inputs.num <= 0 || clip_.rate_num <= 0) return {};
    // inputs / rate seconds after the start, in the stream's time base, rounded to nearest; the
    // product of three 32-bit factors and a 64-bit one needs more than 64 bits, not more than 127.
    __extension__ using wide = __int128;
    const wide scale = wide{clip_.rate_num} * clip_.time_num * inputs.den;
    const wide ticks = (wide{inputs.num} * clip_.rate_den * clip_.time_den + scale / 2) / scale;
    return {clip_.start + static_cast<std::int64_t>(ticks), clip_.time_num, clip_.time_den};
}

clip_frame_source::~clip_frame_source() {
    stop_reading_ahead();
    clip_support()->reader_close(reader_);
}

void clip_frame_source::expect(const work_cursor& coming, const read_ahead_budget&) {
    coming_ = coming;
}

void clip_frame_source::stop_reading_ahead() {
    drop_before(NO_LOAD);
}

std::u16string clip_frame_source::describe(std::int64_t input) const {
    return (path_ == u"-" ? u"standard input" : path_) + u", frame " + str_decimal(input + 1);
}

// The job takes its loads in the plan's order: the expected loads move past this one.
void clip_frame_source::pass_load_of(std::int64_t input) {
    work_step step{};
    while (coming_.next(&step))
        if (is_load(step) && step.input == input) return;
}

void clip_frame_source::drop_before(std::int64_t input) {
    while (!kept_.empty() && kept_.begin()->first < input) {
        bitmap_delete(kept_.begin()->second);
        kept_.erase(kept_.begin());
    }
}

// A frame that the plan may load again stays, and a copy is handed out.
image_handle_t clip_frame_source::hand_out(std::int64_t input, image_handle_t frame) {
    if (!coming_.may_load_again(input)) return frame;
    kept_.emplace(input, frame);
    const bitmap* held = bitmap_get(frame);
    const image_handle_t copy = bitmap_create(held->width, held->height, held->depth);
    if (const bitmap* made = bitmap_get(copy))
        std::memcpy(made->pixels, held->pixels,
                    static_cast<std::size_t>(held->stride) *
                        static_cast<std::size_t>(held->height));
    else
        load_problem_note("out of memory");
    return copy;
}

image_handle_t clip_frame_source::take(std::int64_t input) {
    pass_load_of(input);
    const std::int64_t keep_from = std::min(coming_.lowest_load_ahead(), input);
    drop_before(keep_from);
    load_problem_clear();
    stage_timer timer(render_stage::decode);
    while (decoded_ <= input) {
        const image_handle_t frame = clip_support()->reader_next(reader_);
        if (!frame) {
            ended_ = facts_.inputs == INPUTS_UNKNOWN && *load_problem() == '\0';
            return 0;
        }
        if (decoded_++ == input) return hand_out(input, frame);
        if (decoded_ - 1 >= keep_from)
            kept_.emplace(decoded_ - 1, frame);
        else
            bitmap_delete(frame);
    }
    const auto found = kept_.find(input);
    if (found == kept_.end()) {
        load_problem_note("taken already");
        return 0;
    }
    const image_handle_t frame = found->second;
    kept_.erase(found);
    return hand_out(input, frame);
}

} // namespace korvel
