// A position in a plan's steps. The job walks one cursor; the read-ahead and a clip's decoder
// walk copies of it ahead of the job, so the order in which the work is done is written once,
// in the plan and its blend rule, and followed by all.
#pragma once

#include "engine/frame_plan.h"
#include "engine/work_step.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

namespace korvel {

inline constexpr std::int64_t NO_LOAD = std::numeric_limits<std::int64_t>::max();

class work_cursor {
public:
    // A cursor with no steps.
    work_cursor() = default;
    // At the plan's first step.
    explicit work_cursor(std::shared_ptr<const frame_plan> plan);

    // The next step, moving past it; false once the plan has no more.
    bool next(work_step* step);
    // The same without moving.
    bool peek(work_step* step) const;

    // The lowest input that a load from here on takes, and that a load of a later frame takes;
    // NO_LOAD when none. Later frames take no input below what the next frame takes, as windows
    // only move on through the inputs.
    std::int64_t lowest_load_ahead() const;
    // Whether a load from here on may take input: one of this frame's, or any of a later frame
    // that takes no input below it.
    bool may_load_again(std::int64_t input) const;

    const frame_plan* plan() const { return plan_.get(); }

private:
    void open_next_recipe();
    void lowest_of_following_frame();

    std::shared_ptr<const frame_plan> plan_;
    std::int64_t next_recipe_ = 0;
    frame_recipe current_; // the recipe whose steps are being walked
    std::vector<work_step> steps_;
    std::size_t at_ = 0;
    std::int64_t following_lowest_ = NO_LOAD; // of the recipe after current_
};

} // namespace korvel
