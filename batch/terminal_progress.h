// The batch renderer's progress on standard error: a bar redrawn in place on a terminal, one line
// per finished frame in a log, nothing when quiet. Safe to call from any thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace korvel {

enum class progress_style { quiet, lines, bar };

// bar when out is a terminal, lines otherwise; quiet when asked to be.
progress_style progress_style_for(std::FILE* out, bool quiet);

class terminal_progress {
public:
    terminal_progress(std::FILE* out, progress_style style);

    // The render begins; total is the number of frames it will save, or -1 when unknown (a
    // stream): frames and rate are then shown without a total.
    void start(std::int32_t total);
    // Frame number frame is finished, under path.
    void frame_done(std::int32_t frame, const std::string& path);
    // A line of its own, kept apart from the bar; when quiet, only a line shown_when_quiet
    // (errors, and what was asked for).
    void message(const std::string& line, bool shown_when_quiet);
    // The render is over: the bar's line is ended.
    void finish();

    std::int32_t done() const;
    std::int32_t total() const;

private:
    void draw_bar();
    void clear_bar();

    mutable std::mutex lock_;
    std::FILE* out_;
    progress_style style_;
    std::int32_t total_ = 0;
    std::int32_t done_ = 0;
    bool bar_shown_ = false;
    std::chrono::steady_clock::time_point started_;
};

// The bar's text for done of total frames after seconds, at most columns characters wide:
// frames done of total, percent, elapsed and remaining time, frames per minute.
std::string progress_bar_text(std::int32_t done, std::int32_t total, double seconds,
                              std::int32_t columns);

} // namespace korvel
