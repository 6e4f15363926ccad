// The window's render, steered live. Its fields are not copied when a render starts: each is read
// again at the moments the window's users rely on (L before every pass of the frame, batch and
// layer loops, "Rev." at each frame's start and after each layer, "Alpha Levels" once per frame,
// the input folder for every layer, the output folder for every frame, the start button after
// every batch entry, layer and frame), and a value that changed steers what follows: the control
// then makes the plan again from where the render stands. Each frame's batch of entry names is
// recorded as it is taken, for the window's job file.
#pragma once

#include "engine/folder_source.h"
#include "engine/layer_opacity.h"
#include "engine/png_sink.h"
#include "engine/render_control.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace korvel {

// The window's fields and job file, read and written when the control asks.
class live_fields {
public:
    virtual ~live_fields() = default;
    virtual std::u16string input_folder() = 0;
    virtual std::u16string output_folder() = 0;
    virtual std::int64_t layers() = 0; // "Layers per Frame" as a number (0 for no number)
    virtual std::int64_t alpha_levels() = 0;
    virtual bool reverse() = 0;
    // Whether the user asked to stop (the start button was released).
    virtual bool cancel_requested() = 0;
    // Asks whether to stop; true stops. On "no" the host arms its cancel channel again.
    virtual bool confirm_cancel() = 0;
    // Notes the entry name of batch key (3 ... L + 2) of the frame being composed.
    virtual void record_name(std::int64_t key, const std::u16string& name) = 0;
};

class live_control final : public render_control {
public:
    // A render of total inputs (the job file's count) read through source and saved into sink,
    // which follow the folder fields.
    live_control(live_fields& fields, folder_source& source, png_sink& sink, std::int64_t total);

    control_verdict before_step(work_cursor* cursor, job_failure* failure) override;

private:
    enum class phase { frame_pass, batch, layer, after_layer, after_frame };
    // What the plan in force assumes of the fields.
    struct assumed {
        std::int64_t layers = 0;
        bool reverse = false;
        std::int64_t alpha = 0;
        bool operator==(const assumed&) const = default;
    };

    control_verdict advance(work_cursor* cursor);
    control_verdict pass_frame_loop(work_cursor* cursor);
    control_verdict take_batch();
    control_verdict pass_layer_loop(work_cursor* cursor);
    control_verdict step_to_next_layer();
    control_verdict fail(const char16_t* text);
    bool read_layers(std::int64_t* layers);
    bool cancelled();
    void follow(work_cursor* cursor, const work_step& expected, std::int64_t layers);
    void plan_again(work_cursor* cursor, std::int64_t layers);
    std::int32_t frames_for(std::int64_t layers) const;

    live_fields& fields_;
    folder_source& source_;
    png_sink& sink_;
    const std::int64_t total_;
    job_failure* failure_ = nullptr;
    phase phase_ = phase::frame_pass;
    std::int32_t frame_ = 1;
    std::int64_t delivered_ = 0;                // entries taken into batches so far
    std::map<std::int64_t, std::int64_t> keys_; // batch key -> input, kept across frames
    // The layer loop: the next slot and the key it draws, and the opacities still to come.
    struct layer_loop {
        std::int64_t slot = 0;
        std::int64_t key = 0;
        opacity_ramp ramp{};
        bool reverse = false;
        std::int64_t alpha = 0;
    } loop_;
    assumed planned_;
    bool replanned_ = false;
};

} // namespace korvel
