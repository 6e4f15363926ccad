// Recipes become steps one at a time, as the cursor reaches them, so a plan of any length costs
// the steps of two frames.
#include "engine/work_cursor.h"

#include "engine/frame_blender.h"

#include <algorithm>

namespace korvel {

namespace {

// The steps of recipe, made after held (null when the frame before was not made).
void steps_of(const frame_plan& plan, const frame_recipe* held, const frame_recipe& recipe,
              std::vector<work_step>* steps) {
    steps->clear();
    if (recipe.kept) {
        steps->push_back({step_kind::keep, recipe.frame, NO_INPUT, 0});
        return;
    }
    plan.rule().steps(held, recipe, steps);
}

std::int64_t lowest_load(const std::vector<work_step>& steps, std::size_t from) {
    std::int64_t lowest = NO_LOAD;
    for (std::size_t i = from; i < steps.size(); ++i)
        if (is_load(steps[i])) lowest = std::min(lowest, steps[i].input);
    return lowest;
}

} // namespace

work_cursor::work_cursor(std::shared_ptr<const frame_plan> plan) : plan_(std::move(plan)) {
    open_next_recipe();
}

void work_cursor::open_next_recipe() {
    steps_.clear();
    at_ = 0;
    frame_recipe opened;
    if (!plan_ || !plan_->recipe(next_recipe_, &opened)) return;
    ++next_recipe_;
    const bool held = next_recipe_ > 1 && !current_.kept;
    steps_of(*plan_, held ? &current_ : nullptr, opened, &steps_);
    current_ = std::move(opened);
    lowest_of_following_frame();
}

void work_cursor::lowest_of_following_frame() {
    following_lowest_ = NO_LOAD;
    frame_recipe following;
    if (!plan_->recipe(next_recipe_, &following)) return;
    std::vector<work_step> steps;
    steps_of(*plan_, current_.kept ? nullptr : &current_, following, &steps);
    following_lowest_ = lowest_load(steps, 0);
}

bool work_cursor::next(work_step* step) {
    if (!peek(step)) return false;
    if (++at_ == steps_.size()) open_next_recipe();
    return true;
}

bool work_cursor::peek(work_step* step) const {
    if (at_ >= steps_.size()) return false;
    *step = steps_[at_];
    return true;
}

std::int64_t work_cursor::lowest_load_ahead() const {
    return std::min(lowest_load(steps_, at_), following_lowest_);
}

bool work_cursor::may_load_again(std::int64_t input) const {
    if (input >= following_lowest_) return true;
    for (std::size_t i = at_; i < steps_.size(); ++i)
        if (is_load(steps_[i]) && steps_[i].input == input) return true;
    return false;
}

} // namespace korvel
