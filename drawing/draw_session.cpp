// Per-thread drawing sessions: the calling thread's slot, the session's lifecycle, and the public
// drawing calls, which act on whatever state the slot holds.
#include "drawing/draw.h"
#include "drawing/draw_state.h"

namespace korvel {
namespace {

void end_state(draw_state* state) {
    state->operations->stop(state);
    state->operations->end_session(state, 1);
    delete state;
}

// A state still in the slot when its thread ends is ended then, so none outlives its thread.
struct session_slot {
    draw_state* state = nullptr;
    session_slot() = default;
    session_slot(const session_slot&) = delete;
    session_slot& operator=(const session_slot&) = delete;
    ~session_slot() {
        if (state != nullptr) end_state(state);
    }
};

thread_local session_slot slot;

} // namespace

// Each thread's slot exists from the thread's first drawing call; nothing needs reserving.
void drawing_init() {}

draw_state* draw_current_state() {
    return slot.state;
}

void draw_install_state(draw_state* state) {
    if (slot.state != nullptr) end_state(slot.state);
    slot.state = state;
}

// Only the calling thread's current state can start: any other pointer may name a state that
// has already been ended.
std::intptr_t draw_start(draw_state* output) {
    if (output == nullptr || output != slot.state) return 0;
    const std::intptr_t started = output->operations->start(output);
    if (started != 0) return started;
    output->operations->end_session(output, 0);
    delete output;
    slot.state = nullptr;
    return 0;
}

void draw_mode(std::uint32_t mode) {
    if (draw_state* state = slot.state) state->operations->set_mode(state, mode);
}

std::uint32_t draw_current_mode() {
    return slot.state == nullptr ? 0 : slot.state->mode;
}

void draw_image_alpha(image_handle_t handle, std::int32_t x, std::int32_t y, std::int32_t opacity) {
    if (draw_state* state = slot.state)
        state->operations->draw_image_alpha(state, handle, x, y, opacity);
}

void draw_image(image_handle_t handle, std::int32_t x, std::int32_t y) {
    if (draw_state* state = slot.state) state->operations->draw_image(state, handle, x, y);
}

void draw_image_sized(image_handle_t handle, std::int32_t x, std::int32_t y, std::int32_t width,
                      std::int32_t height) {
    if (draw_state* state = slot.state)
        state->operations->draw_image_sized(state, handle, x, y, width, height);
}

void draw_stop() {
    draw_state* state = slot.state;
    if (state == nullptr) return;
    slot.state = nullptr;
    end_state(state);
}

} // namespace korvel
