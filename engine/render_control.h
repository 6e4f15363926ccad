// What steers a running render between its steps, and where its news go. The window reads its
// fields again at the moments its users expect, plans again when one changed and asks before it
// cancels; korvel-render stops on a signal and writes to the terminal.
#pragma once

#include "engine/work_cursor.h"

#include <cstdint>
#include <functional>
#include <string>

namespace korvel {

enum class control_verdict {
    go_on,     // take the cursor's next step
    replanned, // the cursor was replaced by a plan made again from the same position
    end,       // the render is complete
    stop,      // the user stopped the render
    fail,      // the render cannot go on: the failure says why
};

struct job_failure {
    const char16_t* title = u"";
    std::u16string text;
};

class render_control {
public:
    virtual ~render_control() = default;
    // Before each step, and once more when the cursor has none left.
    virtual control_verdict before_step(work_cursor* cursor, job_failure* failure) = 0;
};

// Told when a frame is complete in its place: in frame order, from any thread, with the saver's
// lock held.
using frame_named = std::function<void()>;

class render_report {
public:
    virtual ~render_report() = default;
    // A failure that ends the render; reason is the cause in the system's words (UTF-8: "cut
    // short", "No space left on device"), "" when none is known.
    virtual void failed(const char16_t* title, const std::u16string& text, const char* reason) = 0;
    // Frame is handed over to be saved under path: what to tell once it is there (nothing when
    // empty).
    virtual frame_named handed_over(std::int32_t frame, const std::u16string& path) = 0;
};

} // namespace korvel
