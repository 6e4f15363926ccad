// A render: the steps of a plan carried out one after the other, on the calling thread, with
// frames read from a source and written to a sink. What other cores do cannot change a byte of
// it: decoding the inputs the plan loads next, blending the rows of a large layer, and writing
// finished frames while the next ones are made. Before it returns, every frame handed over is in
// its place (or its failure told) and nothing read ahead is left.
#pragma once

#include "engine/frame_blender.h"
#include "engine/frame_sink.h"
#include "engine/frame_source.h"
#include "engine/render_control.h"

#include <cstdint>

namespace korvel {

struct render_parts {
    frame_source* source;
    frame_sink* sink;
    render_control* control;
    render_report* report;
    std::int32_t width; // the canvas's size: the frames'
    std::int32_t height;
};

enum class render_end { completed, stopped, failed };

// Runs the steps from start on with the blending of rule (a plan the control makes later blends
// the same way). The calling thread needs a string workspace of its own; the canvas is image 0,
// which a render that ends early leaves behind. The work of other cores goes to oneTBB's
// threads, as many as the calling thread's arena and any tbb::global_control in force allow;
// the frames are the same bytes whatever that number.
render_end render_run(const render_parts& parts, const blend_rule& rule, work_cursor start);

// For a process that exits while a render may be running: the frames already handed over are
// completed in their places before this returns, the frame being made is dropped, and the render
// tells nothing more. Call it once nobody can be told anything any more.
void render_abandon();

} // namespace korvel
