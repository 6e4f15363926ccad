// The clip tests' tools.
#include "tests/image/clip_tools.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace korvel::test {

std::string command_output(const scratch_folder& folder, const std::string& command) {
    FILE* pipe = popen(("cd '" + folder.root() + "' && " + command).c_str(), "r");
    if (!pipe) return "";
    std::string output;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    return pclose(pipe) == 0 ? output : "";
}

bool run_ffmpeg(const scratch_folder& folder, const std::string& arguments) {
    return std::system(("cd '" + folder.root() + "' && ffmpeg -nostdin -v error -y " + arguments)
                           .c_str()) == 0;
}

std::vector<std::string> probe(const scratch_folder& folder, const std::string& leaf,
                               const std::string& streams, const std::string& entries) {
    std::istringstream lines(command_output(folder, "ffprobe -v error -select_streams " + streams +
                                                        " -show_entries " + entries +
                                                        " -of default=nw=1:nk=1 '" + leaf + "'"));
    std::vector<std::string> values;
    for (std::string line; std::getline(lines, line);)
        values.push_back(line);
    return values;
}

image_handle_t canvas_of(int width, int height,
                         const std::function<std::uint32_t(int, int)>& colour) {
    const image_handle_t canvas = bitmap_create(width, height, 32);
    const bitmap* b = bitmap_get(canvas);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint32_t c = colour(x, y);
            std::uint8_t* pixel = b->pixels + (height - 1 - y) * b->stride + x * 4;
            for (int i = 0; i < 4; ++i)
                pixel[i] = std::uint8_t(c >> (8 * i));
        }
    return canvas;
}

std::uint32_t ramp_colour(int x, int y, int n) {
    const std::uint32_t alpha = 255 - ((x * 4) & 0xFF), red = (x * 3 + n * 20) & 0xFF,
                        green = (x * y * 37 + n * 11) & 0x0F, blue = (y * 4) & 0xFF;
    return alpha << 24 | red << 16 | green << 8 | blue;
}

std::function<std::uint32_t(int, int)> raw_rgb_colour(const std::string& rows, int width) {
    return [&rows, width](int x, int y) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(rows.data()) + (y * width + x) * 3;
        return 0xFF000000u | std::uint32_t(p[0]) << 16 | p[1] << 8 | p[2];
    };
}

double mean_distance(image_handle_t frame, const std::function<std::uint32_t(int, int)>& colour,
                     std::uint32_t background) {
    const bitmap* b = bitmap_get(frame);
    if (!b) return 255;
    const int channels = b->depth / 8;
    double sum = 0;
    for (int y = 0; y < b->height; ++y)
        for (int x = 0; x < b->width; ++x) {
            const std::uint32_t wanted = colour(x, y);
            const double alpha = channels == 4 ? 1 : (wanted >> 24) / 255.0;
            for (int c = 0; c < channels; ++c) {
                const double shown = ((wanted >> (8 * c)) & 0xFF) * alpha +
                                     ((background >> (8 * c)) & 0xFF) * (1 - alpha);
                sum += std::abs(b->pixels[(b->height - 1 - y) * b->stride + x * channels + c] -
                                std::round(shown));
            }
        }
    const double mean = sum / (double(channels) * b->width * b->height);
    bitmap_delete(frame);
    return mean;
}

std::string write_frames(const std::u16string& path, const clip_format* format,
                         const clip_settings& settings, const clip_choices& choices, int frames,
                         const std::function<std::uint32_t(int, int, int)>& colour,
                         const std::function<void(int)>& before_frame) {
    const char* problem = "";
    clip_writer* writer = clip_writer_open_with(path.c_str(), format, settings, choices, &problem);
    for (int n = 1; writer && n <= frames; ++n) {
        if (before_frame) before_frame(n);
        const auto pixel = [&colour, n](int x, int y) { return colour(x, y, n); };
        if (!clip_writer_add(writer, canvas_of(settings.width, settings.height, pixel))) break;
    }
    const bool finished = writer && clip_writer_finish(writer);
    const std::string cause = writer ? clip_writer_problem(writer) : problem;
    clip_writer_close(writer);
    return finished ? "" : cause.empty() ? "not finished" : cause;
}

int with_pipe(int fd, const std::string& command, const std::function<void()>& body) {
    std::fflush(stdout);
    FILE* pipe = popen(command.c_str(), fd == 0 ? "r" : "w");
    if (!pipe) return -1;
    const int saved = dup(fd);
    dup2(fileno(pipe), fd);
    body();
    dup2(saved, fd);
    close(saved);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace korvel::test
