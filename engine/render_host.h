// What a render job needs from the front end that runs it: its inputs, read live at the moments the
// job asks for them, and the place its reports go. The window reads its gadgets and shows
// requesters; the batch renderer gives fixed values and writes to the terminal.
#pragma once

#include "image/png_codec.h"

#include <cstdint>

namespace korvel {

// The job file's contents that a job starts from, as texts (converted where a number is needed).
struct render_totals {
    const char16_t* total;  // "Total Images": the number of entries the scan counted
    const char16_t* width;  // "Width" of the probe image, "" when the probe failed
    const char16_t* height; // "Height" of the probe image
};

// What korvel-render adds to a job beyond the window's inputs: a clip in place of the input or the
// output folder, and frames already complete from an earlier run.
struct render_media {
    const char16_t* input_clip;  // a video whose frames are the inputs; null: the input folder
    const char16_t* output_clip; // the clip the frames go into; null: PNG files in the folder
    std::int32_t rate_num;       // the output clip's frames per second, as a fraction
    std::int32_t rate_den;
    std::uint32_t background;   // 0xRRGGBB under the frames of a clip kind without alpha
    std::int32_t skip_existing; // non-zero: a frame whose file exists is not rendered again
    // Output frame n is made of inputs (n - 1) x step + 1 to (n - 1) x step + L, for every n whose
    // last input exists; 0: consecutive groups of L, as in the window.
    std::int64_t step;
    // A weighted mean of each frame's layers instead of the fading stack: weight_count integer
    // weights (it must equal L), the first for the layer drawn first; null for the stack.
    const std::uint32_t* weights;
    std::int64_t weight_count;
    std::int32_t linear;    // the mean's colours are summed in linear light
    png_frame_settings png; // how frames are written as PNG files
};

struct render_host_ops {
    // Opens the job's record of the scan; fills totals with texts that stay readable until
    // close_job. 0 when it cannot (the host has then told the user).
    std::int32_t (*open_job)(void* host, render_totals* totals);
    // Notes the name of batch entry key (3 ... L + 2) of the frame being composed.
    void (*record_name)(void* host, std::int64_t key, const char16_t* name);
    // Ends the job's record (the window writes its job file back).
    void (*close_job)(void* host);

    // The output frames to render, from 1: the entries of frames before first are passed over
    // unread, and the job ends after frame last. The window renders every frame.
    void (*frame_range)(void* host, std::int32_t* first, std::int32_t* last);

    // Live inputs; texts are written at the result position of the calling thread's workspace.
    const char16_t* (*input_folder)(void* host, std::int32_t at);
    const char16_t* (*output_folder)(void* host, std::int32_t at);
    std::int64_t (*layers_per_frame)(void* host);
    std::int64_t (*alpha_levels)(void* host);
    std::int32_t (*reverse)(void* host);

    // Non-zero when the user asked to stop (the window: the start button was released).
    std::int32_t (*cancel_requested)(void* host);
    // Asks whether to stop; non-zero stops the job. On "no" the host re-arms its cancel channel.
    std::int32_t (*confirm_cancel)(void* host);

    // A failure that ends the job: the host tells the user and returns to idle, so that the job's
    // end reports no completion. reason is the cause in the system's words (UTF-8: "cut short",
    // "No space left on device"), "" when none is known; the window's texts leave it out.
    void (*fail)(void* host, const char16_t* title, const char16_t* text, const char* reason);
    // Frame number frame (from 1) is complete on disk under path; percent is the job's progress as
    // of the moment the frame was handed over for saving. Told in frame order, but possibly from a
    // thread of the saver instead of the job's, while the job builds a later frame; every frame
    // is told before job_end.
    void (*frame_saved)(void* host, std::int32_t frame, std::int32_t percent, const char16_t* path);
    // The job is over; completed is 1 when it ran to its end without failure or cancel.
    void (*job_end)(void* host, std::int32_t completed);

    // Read once as the job starts; null (the window) for folders only.
    const render_media* (*media)(void* host);
};

struct render_host {
    const render_host_ops* ops;
    void* state;
};

} // namespace korvel
