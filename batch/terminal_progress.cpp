// Progress on standard error. The bar is rewritten in place with a carriage return and an
// erase-to-end-of-line, and kept shorter than the terminal is wide: a line that wraps could no
// longer be rewritten.
#include "batch/terminal_progress.h"

#include <algorithm>
#include <cmath>
#include <sys/ioctl.h>
#include <unistd.h>

namespace korvel {

namespace {

constexpr std::int32_t bar_cells = 24;
constexpr std::int32_t fewest_bar_cells = 8;
constexpr std::int32_t columns_when_unknown = 80;
constexpr char erase_line[] = "\r\x1b[K";

// "m:ss", or "h:mm:ss" from an hour on.
std::string clock_text(double seconds) {
    const auto whole = static_cast<long long>(std::max(0.0, std::floor(seconds)));
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                      whole % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    return text;
}

// A stream of unknown length: the frames so far and the rate.
std::string open_figures_text(std::int32_t done, double seconds) {
    char text[96];
    std::snprintf(text, sizeof text, "%d frames | elapsed %s, %.1f frames/min", done,
                  clock_text(seconds).c_str(), seconds > 0 ? done * 60.0 / seconds : 0.0);
    return text;
}

// The figures, in words or, for a narrow terminal, in brief.
std::string figures_text(std::int32_t done, std::int32_t total, double seconds, bool brief) {
    if (total < 0) return open_figures_text(done, seconds);
    const long long percent = total > 0 ? 100LL * done / total : 100;
    std::string remaining = "--:--";
    std::string rate = "--";
    if (done > 0 && seconds > 0) {
        remaining = clock_text(seconds / done * (total - done));
        char text[32];
        std::snprintf(text, sizeof text, "%.1f", done * 60.0 / seconds);
        rate = text;
    }
    char counts[64];
    std::snprintf(counts, sizeof counts, "%d/%d %3lld%%", done, total, percent);
    const std::string elapsed = clock_text(seconds);
    if (brief)
        return std::string(counts) + " " + elapsed + ", " + remaining + " left, " + rate + "/min";
    return std::string(counts) + " | elapsed " + elapsed + ", remaining " + remaining + ", " +
           rate + " frames/min";
}

std::string bar_cells_text(std::int32_t done, std::int32_t total, std::int32_t cells) {
    const auto share =
        total > 0 ? static_cast<std::int32_t>(static_cast<long long>(cells) * done / total) : cells;
    const std::int32_t filled = std::clamp(share, 0, cells);
    std::string bar = "[";
    bar.append(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(cells - filled), '.');
    return bar + "] ";
}

std::int32_t terminal_columns(std::FILE* out) {
    winsize size{};
    if (ioctl(fileno(out), TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return columns_when_unknown;
    return size.ws_col;
}

} // namespace

std::string progress_bar_text(std::int32_t done, std::int32_t total, double seconds,
                              std::int32_t columns) {
    // The last column stays free: writing into it makes some terminals wrap at once.
    const auto room = static_cast<std::size_t>(std::max(columns - 1, 0));
    std::string figures = figures_text(done, total, seconds, false);
    if (figures.size() > room) figures = figures_text(done, total, seconds, true);
    const auto spare = static_cast<std::int32_t>(room) - static_cast<std::int32_t>(figures.size());
    const std::int32_t cells = total < 0 ? 0 : std::min(bar_cells, spare - 3);
    std::string text =
        cells >= fewest_bar_cells ? bar_cells_text(done, total, cells) + figures : figures;
    if (text.size() > room) text.resize(room);
    return text;
}

progress_style progress_style_for(std::FILE* out, bool quiet) {
    if (quiet) return progress_style::quiet;
    return isatty(fileno(out)) ? progress_style::bar : progress_style::lines;
}

terminal_progress::terminal_progress(std::FILE* out, progress_style style)
    : out_(out), style_(style), started_(std::chrono::steady_clock::now()) {}

void terminal_progress::start(std::int32_t total) {
    const std::lock_guard<std::mutex> hold(lock_);
    total_ = total;
    done_ = 0;
    started_ = std::chrono::steady_clock::now();
    if (style_ == progress_style::bar && total_ != 0) draw_bar();
}

void terminal_progress::frame_done(std::int32_t frame, const std::string& path) {
    const std::lock_guard<std::mutex> hold(lock_);
    ++done_;
    if (style_ == progress_style::bar) draw_bar();
    if (style_ == progress_style::lines) {
        if (total_ < 0)
            std::fprintf(out_, "frame %d rendered: %s (%d)\n", frame, path.c_str(), done_);
        else
            std::fprintf(out_, "frame %d rendered: %s (%d/%d)\n", frame, path.c_str(), done_,
                         total_);
        std::fflush(out_);
    }
}

void terminal_progress::message(const std::string& line, bool shown_when_quiet) {
    const std::lock_guard<std::mutex> hold(lock_);
    if (style_ == progress_style::quiet && !shown_when_quiet) return;
    const bool redraw = bar_shown_;
    clear_bar();
    std::fprintf(out_, "%s\n", line.c_str());
    if (redraw) draw_bar();
    std::fflush(out_);
}

void terminal_progress::finish() {
    const std::lock_guard<std::mutex> hold(lock_);
    if (!bar_shown_) return;
    std::fputc('\n', out_);
    std::fflush(out_);
    bar_shown_ = false;
}

std::int32_t terminal_progress::done() const {
    const std::lock_guard<std::mutex> hold(lock_);
    return done_;
}

std::int32_t terminal_progress::total() const {
    const std::lock_guard<std::mutex> hold(lock_);
    return total_;
}

void terminal_progress::draw_bar() {
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started_;
    const std::string text =
        progress_bar_text(done_, total_, elapsed.count(), terminal_columns(out_));
    std::fprintf(out_, "%s%s", erase_line, text.c_str());
    std::fflush(out_);
    bar_shown_ = true;
}

void terminal_progress::clear_bar() {
    if (!bar_shown_) return;
    std::fputs(erase_line, out_);
    bar_shown_ = false;
}

} // namespace korvel
