// Program scenarios: folders, the run in a child process, and the checks they share.
#include "program_scenario.h"

#include "report_line.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>

namespace korvel::app_test {

namespace {

namespace fs = std::filesystem;

void take_line(program_run& run, const std::vector<std::string>& fields) {
    const std::string& kind = fields[0];
    auto field = [&](std::size_t i) { return i < fields.size() ? fields[i] : std::string(); };
    if (kind == "done") {
        run.done = true;
    } else if (kind == "message") {
        run.messages.push_back(field(1) + " / " + field(2));
        run.message_buttons.push_back(field(3));
    } else if (kind == "chooser") {
        run.choosers.push_back(field(1));
        run.chooser_folders.push_back(field(2));
    } else if (kind == "title") {
        run.titles.push_back(field(1));
    } else if (kind == "progress") {
        run.progress.push_back(std::atoi(field(1).c_str()));
    } else if (kind == "fail") {
        run.failures.push_back(field(1));
    } else if (kind == "note") {
        run.notes[field(1)] = field(2);
    } else if (kind == "closing") {
        run.closing_at_ns = std::atoll(field(1).c_str());
    }
}

std::string describe_pixel(const std::uint8_t* pixel) {
    std::ostringstream text;
    text << "(" << int(pixel[0]) << ", " << int(pixel[1]) << ", " << int(pixel[2]) << ", "
         << int(pixel[3]) << ")";
    return text.str();
}

} // namespace

bool has_sanitizer_report(const std::string& output) {
    constexpr std::array<const char*, 5> marks{"ERROR: AddressSanitizer", "ERROR: LeakSanitizer",
                                               "WARNING: ThreadSanitizer",
                                               "runtime error:", "ThreadSanitizer: reported"};
    return std::any_of(marks.begin(), marks.end(),
                       [&](const char* mark) { return output.find(mark) != std::string::npos; });
}

std::string program_run::note(const std::string& key) const {
    const auto found = notes.find(key);
    return found == notes.end() ? "<not noted>" : found->second;
}

double program_run::seconds_to_exit_after_close() const {
    if (closing_at_ns == 0) return -1;
    return static_cast<double>(child.ended_at_ns - closing_at_ns) / 1e9;
}

void program_scenario::SetUp() {
    std::string pattern = (fs::temp_directory_path() / "korvel-app-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    in_ = root_ + "/in";
    out_ = root_ + "/out";
    fs::create_directory(in_);
    fs::create_directory(out_);
}

void program_scenario::TearDown() {
    if (HasFailure()) {
        std::cerr << "--- what the last run reported ---\n";
        for (const auto& fields : last_run_.lines)
            std::cerr << report_line(fields);
        std::cerr << "--- its standard error ---\n" << last_run_.error_output << "\n";
    }
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

program_run program_scenario::run_program(std::function<void(program_driver&)> script,
                                          std::chrono::seconds limit) {
    return finish_program(start_program(std::move(script), "program-errors.txt", limit));
}

running_child program_scenario::start_program(std::function<void(program_driver&)> script,
                                              const std::string& errors_name,
                                              std::chrono::seconds limit) {
    return start_child([&] { run_program_with_driver(root_, script); }, root_ + "/" + errors_name,
                       limit);
}

program_run
program_scenario::run_program_without_window(std::function<void(program_driver&)> script,
                                             const std::string& errors_name) {
    return gather(run_child([&] { run_program_without_window_with_driver(root_, script); },
                            root_ + "/" + errors_name, std::chrono::seconds(60)));
}

program_run program_scenario::finish_program(const running_child& started) {
    return gather(finish_child(started));
}

program_run program_scenario::gather(const child_outcome& child) {
    program_run run;
    run.child = child;
    for (const auto& fields : run.child.lines)
        if (!fields.empty()) take_line(run, fields);
    last_run_ = run.child;
    return run;
}

void program_scenario::start_render(program_driver& driver, const std::string& layers) const {
    driver.choose_folder(3, in_);
    driver.choose_folder(6, out_);
    driver.type_text(8, layers);
    driver.click(9);
}

input_frames program_scenario::make_inputs(const frame_set_shape& shape) {
    input_frames frames = make_input_frames(in_, shape);
    EXPECT_EQ(static_cast<int>(frames.names.size()), shape.count) << "inputs not written";
    return frames;
}

void expect_clean_end(const program_run& run) {
    EXPECT_FALSE(run.child.timed_out) << "the program was killed after the time limit";
    EXPECT_TRUE(run.child.exited) << "ended by signal " << run.child.signal;
    EXPECT_EQ(run.child.exit_code, 0);
    EXPECT_TRUE(run.done) << "the run ended before its script was complete";
    EXPECT_TRUE(run.failures.empty()) << "driver: " << ::testing::PrintToString(run.failures);
    EXPECT_FALSE(has_sanitizer_report(run.child.error_output)) << "see its standard error";
}

std::vector<std::string> folder_names(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> frame_names(int count, int image_count) {
    std::vector<std::string> names;
    for (int frame = 1; frame <= count; ++frame)
        names.push_back(frame_name(frame, image_count));
    return names;
}

::testing::AssertionResult png_file_holds(const std::string& path, const rgba_image& expected) {
    const png_read file = read_png(path);
    if (!file.ok) return ::testing::AssertionFailure() << path << ": " << file.error;
    if (file.colour_type != 6 || file.bit_depth != 8 || file.interlace != 0)
        return ::testing::AssertionFailure()
               << path << ": colour type " << file.colour_type << ", " << file.bit_depth
               << " bits, interlace " << file.interlace << " instead of 8-bit RGBA, no interlace";
    if (file.image.width != expected.width || file.image.height != expected.height)
        return ::testing::AssertionFailure()
               << path << ": " << file.image.width << " x " << file.image.height << " instead of "
               << expected.width << " x " << expected.height;
    for (int y = 0; y < expected.height; ++y)
        for (int x = 0; x < expected.width; ++x)
            if (!std::equal(expected.at(x, y), expected.at(x, y) + 4, file.image.at(x, y)))
                return ::testing::AssertionFailure()
                       << path << ": pixel (" << x << ", " << y << ") is "
                       << describe_pixel(file.image.at(x, y)) << " instead of "
                       << describe_pixel(expected.at(x, y)) << " (red, green, blue, alpha)";
    return ::testing::AssertionSuccess();
}

void expect_frames(const std::string& folder, const std::vector<std::string>& names,
                   const input_frames& inputs, std::int64_t layers, std::int64_t alpha_levels,
                   bool reverse) {
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_TRUE(png_file_holds(
            folder + "/" + names[i],
            inputs.expected_frame(static_cast<int>(i) + 1, layers, alpha_levels, reverse)));
}

std::string job_file_bytes(int width, int height, int count,
                           const std::vector<std::string>& last_names) {
    std::string bytes = "\xEF\xBB\xBF\r\n";
    if (width > 0)
        bytes += "[Resolution]\r\nWidth = " + std::to_string(width) +
                 "\r\nHeight = " + std::to_string(height) + "\r\n";
    bytes += "[Image Count]\r\nTotal Images = " + std::to_string(count) + "\r\n";
    if (!last_names.empty()) bytes += "[File Names]\r\n";
    for (std::size_t i = 0; i < last_names.size(); ++i)
        bytes += std::to_string(i + 3) + " = " + last_names[i] + "\r\n";
    return bytes;
}

} // namespace korvel::app_test
