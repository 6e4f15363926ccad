// Asynchronous saving of finished frames: each canvas handed over is encoded by a pool task while
// the job builds the next one, several at a time, and the frames take their names strictly in
// the order they were handed over.
//
// Ordered naming keeps a failure as clean as when frames were saved one after the other: when a
// frame cannot be saved, every frame handed over before it is complete under its own name, and no
// frame after it appears (their temporary files are removed). Waiting never depends on a pool
// thread being free: a frame still queued is encoded by the waiting thread itself.
#pragma once

#include "engine/frame_sink.h"
#include "engine/render_control.h"
#include "engine/work_allowance.h"
#include "image/bitmap.h"

#include <oneapi/tbb/task_group.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace korvel {

// How many frames a saver works on: at most in_flight handed over and not yet complete (0 saves
// each frame before hand_over returns), of which at most encoders are written at once. With an
// allowance, each frame holds canvas_bytes of it from being handed over until it is written, and
// workspace_bytes more while it is written.
struct saver_limits {
    std::int32_t in_flight = 0;
    std::int32_t encoders = 1;
    std::int64_t canvas_bytes = 0;
    std::int64_t workspace_bytes = 0;
};

class frame_saver {
public:
    // Frames go to sink (which outlives the saver); one at a time when it takes no frames side by
    // side.
    frame_saver(frame_sink* sink, const saver_limits& limits, work_allowance* allowance = nullptr);
    // Waits for every frame handed over.
    ~frame_saver();
    frame_saver(const frame_saver&) = delete;
    frame_saver& operator=(const frame_saver&) = delete;

    // Takes the bitmap (32-bit canvas) to be saved under path, first waiting while the limit of
    // frames in flight is reached. 0, with the bitmap freed, once a frame has failed or the saver
    // is closed.
    std::int32_t hand_over(image_handle_t canvas, const std::u16string& path,
                           frame_named on_named = {});
    // A frame whose file is there already takes its turn: it is told named once the frames
    // before it are. 0 once a frame has failed or the saver is closed.
    std::int32_t keep(const std::u16string& path, frame_named on_named = {});

    // Waits until every frame handed over is complete under its name, or given up after a
    // failure.
    void finish();

    // Non-zero once a frame could not be saved; failed_path is then the first such frame's path
    // and failed_reason the system's word for why ("No space left on device"), or "". The reason
    // stays readable while the saver lives.
    std::int32_t failed() const { return failed_.load(std::memory_order_acquire) ? 1 : 0; }
    std::u16string failed_path() const;
    const char* failed_reason() const;

    // Non-zero once the process has given the saver up (see frame_savers_close_all).
    std::int32_t closed() const { return closed_.load(std::memory_order_acquire) ? 1 : 0; }

private:
    enum class frame_state { queued, encoding, written, not_written, kept, given_up };
    struct frame {
        std::u16string path;
        std::u16string part; // the temporary name it is written under
        image_handle_t canvas = 0;
        frame_state state = frame_state::queued;
        std::int64_t allowance_held = 0;
        frame_named on_named;
        std::string problem; // why it was not written
    };
    using frame_ptr = std::shared_ptr<frame>;
    std::int32_t queue(const std::shared_ptr<frame>& work);
    frame_ptr claim_queued();
    void wait_until_at_most(std::size_t count);
    void run_queued();
    void encode(const frame_ptr& work);
    void name_finished_frames();
    void frame_named_now(const frame& named);
    void note_failure(const std::u16string& path, std::string problem);
    void close();
    friend void frame_savers_close_all();

    frame_sink* const sink_;
    const std::size_t limit_;
    const std::size_t encoders_;
    work_allowance* const allowance_;
    const std::int64_t canvas_bytes_;
    const std::int64_t workspace_bytes_;
    mutable std::mutex lock_;
    std::condition_variable progressed_;
    std::deque<frame_ptr> frames_; // handed over and not yet named or given up, oldest first
    std::atomic<bool> failed_{false};
    std::u16string failed_path_;
    std::string failed_problem_;
    std::atomic<bool> closed_{false};
    tbb::task_group pool_;
};

// For a process that is about to exit during a render: every saver takes no more frames and tells
// of none, and the frames already handed over are completed (or their temporary files removed)
// before this returns, so that what the user was shown is on disk and nothing torn is left.
void frame_savers_close_all();

} // namespace korvel
