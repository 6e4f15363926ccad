// A plan: the output frames of a render as recipes, fixed once made. Plans of different kinds
// (windows counted in inputs, exposures measured in time) share this view, so the job that runs
// them and the read-ahead that follows them never ask which kind they have.
#pragma once

#include "engine/frame_recipe.h"

#include <cstdint>

namespace korvel {

struct blend_rule;

inline constexpr std::int64_t UNKNOWN_SIZE = -1;

class frame_plan {
public:
    virtual ~frame_plan() = default;

    // The recipes, numbered from 0 in the order the job makes them; UNKNOWN_SIZE while the input's
    // length is not known (a stream).
    virtual std::int64_t size() const = 0;
    // Recipe k, or false when the plan ends before it. Asked for in increasing k, or again for
    // one asked for before.
    virtual bool recipe(std::int64_t k, frame_recipe* out) const = 0;

    // How the recipes' layers are blended: a stack by opacities, or a mean by weights.
    virtual const blend_rule& rule() const = 0;
    // The most layers of any recipe and the largest amount: what a mean's sums must hold.
    virtual std::int64_t most_layers() const = 0;
    virtual std::int32_t largest_amount() const = 0;

    // The inputs that the recipes made so far passed over because they show for no time (a
    // timestamp not later than the one before): none in a plan that counts inputs.
    virtual std::int64_t inputs_passed_over() const { return 0; }
};

} // namespace korvel
