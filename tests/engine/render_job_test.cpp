// Whole renders through the test host, on one, two and four threads: the output folder ends up
// holding exactly the frames of the chosen range, each the reference composite of its group, in
// the same bytes whatever the thread count. Fields changed while the window's render runs take
// effect at their next reading; a render that cannot go on tells why once, in the user's words,
// after the frames before are whole, and leaves nothing else.
#include "engine/job_messages.h"
#include "runtime/utf.h"
#include "tests/engine/engine_fixture.h"
#include "tests/support/reference_blur.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace korvel::test {
namespace {

constexpr std::int32_t END = std::numeric_limits<std::int32_t>::max();

struct recipe {
    std::vector<int> layers; // input indices in drawing order
    std::int64_t ramp;       // the L the frame's opacities follow
};

struct job_row {
    const char* name;
    int count, width, height;
    bool alpha; // RGBA inputs but every third, else RGB
    std::int64_t layers, alpha_levels;
    bool reverse;
    std::int32_t first, last;
    // Done before each run to the host or its folders; gives the path a failure names, if any.
    // Rows with a range run as korvel-render plans them, the others as the window does.
    std::string (*edit)(test_host& host) = nullptr;
    std::vector<recipe> frames = {}; // when edited: the frames the job leaves, from frame 1
    const char16_t* title = nullptr; // of the failure that ends the job
    const char16_t* message = nullptr;
    std::int32_t completed = 1;
};

// The frame's file name: its number zero-filled to the width of the input count.
std::string frame_name(int frame, int total) {
    char name[32];
    std::snprintf(name, sizeof name, "%0*d.png", int(std::to_string(total).size()), frame);
    return name;
}

std::string input_path(const test_host& host, int index) {
    char name[32];
    std::snprintf(name, sizeof name, "frame%03d.png", index + 1);
    return host.fields.input_folder + name;
}

// L is read anew for every layer, and past the end of the folder its last entry repeats: lowered
// as frame 2's second layer is loaded, it ends that frame after it.
std::string lower_inside_frame(test_host& host) {
    host.fields.before_layer = [&host](int layer) {
        if (layer == 6) host.fields.layers = 2;
    };
    return {};
}
const std::vector<recipe> lowered_inside = {{{0, 1, 2, 3}, 4}, {{4, 5}, 4},   {{8, 9}, 2},
                                            {{10, 11}, 2},     {{11, 11}, 2}, {{11, 11}, 2}};

// With four threads, frames 4 to 6 are handed over before the third is known to fail: they must
// not appear either.
std::string block_third_frame(test_host& host) {
    std::filesystem::create_directory(host.fields.output_folder + frame_name(3, 12));
    return host.fields.output_folder + frame_name(3, 12);
}

std::string spoil_seventh_input(test_host& host) {
    std::ofstream(input_path(host, 6)) << "not a picture";
    return input_path(host, 6);
}

const std::vector<recipe> two_pairs = {{{0, 1}, 2}, {{2, 3}, 2}};
const std::vector<recipe> three_pairs = {{{0, 1}, 2}, {{2, 3}, 2}, {{4, 5}, 2}};

const job_row job_rows[] = {
    {"rows split between threads", 12, 640, 420, true, 4, 200, false, 1, END},
    {"RGB, reversed, an input left over", 10, 48, 32, false, 3, 255, true, 1, END},
    {"one layer per frame", 5, 16, 8, true, 1, 100, false, 1, END},
    {"RGB, a range inside the sequence", 13, 24, 16, false, 2, 255, true, 2, 4},
    {"a range past its end, alpha levels 0", 9, 24, 16, true, 2, 0, false, 3, 100},
    {"one frame of a hundred layers", 100, 6, 4, true, 100, 255, false, 1, END},
    {"L lowered inside a frame cuts that frame short", 12, 64, 48, false, 4, 255, false, 1, END,
     lower_inside_frame, lowered_inside},
    {"a folder holds a frame's name", 12, 48, 32, true, 2, 255, false, 1, END, block_third_frame,
     two_pairs, JOB_TITLE_ERROR, JOB_UNABLE_TO_SAVE, 0},
    {"a layer is no picture", 12, 48, 32, true, 2, 255, false, 1, END, spoil_seventh_input,
     three_pairs, JOB_TITLE_LOAD_ERROR, JOB_UNABLE_TO_LOAD, 0},
};

// Whether the input of that index has alpha: RGB every third, else as the row says.
bool has_alpha(const job_row& row, int index) {
    return row.alpha && index % 3 != 1;
}

// The input of that index as written: with alpha, one in three opaque all over, so that later
// layers also fall on an opaque canvas. Unless edited, the fourth is smaller than the canvas and
// the seventh larger: both are drawn from its top left, cut to it.
rgba_image input_image(const job_row& row, int index) {
    const int grow = row.edit ? 0 : index == 3 ? -row.height / 2 : index == 6 ? 9 : 0;
    return pattern_image(row.width + grow, row.height + grow, static_cast<std::uint32_t>(index),
                         has_alpha(row, index) && index % 3 != 2);
}

void write_inputs(const job_row& row, const test_host& host) {
    for (int i = 0; i < row.count; ++i)
        write_png(input_path(host, i), input_image(row, i), has_alpha(row, i));
}

std::vector<recipe> groups_of(const job_row& row) {
    if (row.edit) return row.frames;
    std::vector<recipe> frames;
    const auto whole_groups = static_cast<std::int32_t>(row.count / row.layers);
    for (std::int32_t frame = row.first; frame <= std::min(row.last, whole_groups); ++frame) {
        frames.push_back({{}, row.layers});
        for (std::int64_t i = 0; i < row.layers; ++i)
            frames.back().layers.push_back(static_cast<int>(
                (frame - 1) * row.layers + (row.reverse ? row.layers - 1 - i : i)));
    }
    return frames;
}

rgba_image expected_frame(const job_row& row, const recipe& frame) {
    rgba_image canvas = blank_image(row.width, row.height);
    const std::vector<std::int32_t> opacities = reference_opacities(row.alpha_levels, frame.ramp);
    for (std::size_t i = 0; i < frame.layers.size(); ++i)
        draw_layer(canvas, input_image(row, frame.layers[i]), has_alpha(row, frame.layers[i]),
                   opacities[i]);
    return canvas;
}

// One run: its frames' bytes, which the first run's must equal.
void check_run(const job_row& row, int threads, const scratch_folder& in,
               std::vector<std::string>& first_bytes) {
    const scratch_folder out;
    test_host host(in, out, row.count, row.width, row.height);
    host.fields.layers = row.layers;
    host.fields.alpha_levels = row.alpha_levels;
    host.fields.reverse = row.reverse;
    const std::string subject = row.edit ? row.edit(host) : "";
    blur_settings blur;
    blur.layers = row.layers;
    blur.alpha = row.alpha_levels;
    blur.reverse = row.reverse;
    if (row.first > 1 || row.last != END)
        host.run_planned(threads, blur, {row.first, row.last});
    else
        host.run(threads);
    const test_outcome& told = host.outcome;

    EXPECT_EQ(told.completed, row.completed != 0);
    ASSERT_EQ(told.failures.size(), row.title ? 1u : 0u);
    if (row.title) {
        EXPECT_EQ(told.failures[0].first, row.title);
        EXPECT_EQ(told.failures[0].second, row.message + utf16_from_utf8(subject));
    }
    const std::vector<recipe> frames = groups_of(row);
    std::vector<std::string> names, bytes;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        names.push_back(frame_name(row.first + static_cast<int>(i), row.count));
        bytes.push_back(read_file(out.path(names.back())));
        EXPECT_TRUE(threads > 1 ||
                    read_png_rgba(out.path(names.back())) == expected_frame(row, frames[i]))
            << names.back();
    }
    EXPECT_EQ(told.told_saved, names) << "frames told saved out of order or not at all";
    EXPECT_EQ(told.told_before_on_disk, 0) << "progress told before the frame was on disk";
    if (row.message == JOB_UNABLE_TO_SAVE) names.push_back(frame_name(3, row.count));
    EXPECT_EQ(told.left_at_end, names) << "the render ended before its frames were whole";
    EXPECT_EQ(folder_names(out.root()), names);
    EXPECT_LE(told.peak_bitmaps, 2 + 2 * threads) << "peak";
    EXPECT_LE(told.bitmaps_left, row.completed ? 0 : 1)
        << "bitmaps left: only a canvas may wait in its slot";
    if (threads == 1) first_bytes = bytes;
    EXPECT_TRUE(bytes == first_bytes) << "other bytes than on one thread";
}

TEST(render_job, leaves_whole_frames_of_its_groups_and_nothing_else_on_any_thread_count) {
    for (const job_row& row : job_rows) {
        SCOPED_TRACE(row.name);
        const scratch_folder in;
        write_inputs(row, test_host(in, in, 0, 0, 0));
        std::vector<std::string> first_bytes;
        for (int threads : {1, 2, 4}) {
            SCOPED_TRACE(std::to_string(threads) + " threads");
            check_run(row, threads, in, first_bytes);
        }
    }
}

} // namespace
} // namespace korvel::test
