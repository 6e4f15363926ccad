// The frame saver. One lock guards the queue of frames and the failure; encoding happens outside
// it, renaming inside it, so that frames take their names one at a time and in order.
#include "engine/frame_saver.h"

#include "engine/frame_file.h"
#include "engine/pool_task.h"
#include "engine/render_stats.h"
#include "runtime/error_text.h"
#include "runtime/files.h"

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

namespace korvel {
namespace {

// The savers alive, for closing them all at exit. Never destroyed: a render may still be running
// while the process ends.
struct saver_registry {
    std::mutex lock;
    std::vector<frame_saver*> savers;
};

saver_registry& registry() {
    static saver_registry* const instance = new saver_registry;
    return *instance;
}

} // namespace

frame_saver::frame_saver(frame_sink* sink, const saver_limits& limits, work_allowance* allowance)
    : sink_(sink), limit_(sink->takes_frames_side_by_side()
                              ? static_cast<std::size_t>(std::max(limits.in_flight, 0))
                              : 0),
      encoders_(sink->takes_frames_side_by_side()
                    ? static_cast<std::size_t>(std::max(limits.encoders, 1))
                    : 1),
      allowance_(allowance), canvas_bytes_(limits.canvas_bytes),
      workspace_bytes_(limits.workspace_bytes) {
    std::lock_guard guard(registry().lock);
    registry().savers.push_back(this);
}

frame_saver::~frame_saver() {
    {
        std::lock_guard guard(registry().lock);
        std::erase(registry().savers, this);
    }
    finish();
    pool_.wait();
}

void frame_savers_close_all() {
    std::lock_guard guard(registry().lock);
    for (frame_saver* saver : registry().savers)
        saver->close();
}

void frame_saver::close() {
    {
        std::lock_guard guard(lock_);
        closed_.store(true, std::memory_order_release);
    }
    finish();
}

std::int32_t frame_saver::hand_over(image_handle_t canvas, const std::u16string& path,
                                    frame_named on_named) {
    auto work = std::make_shared<frame>();
    work->path = path;
    work->part = sink_->part_name(path);
    work->on_named = std::move(on_named);
    work->canvas = canvas;
    if (!queue(work)) return 0;
    try {
        pool_run(pool_, [this] { run_queued(); });
    } catch (...) {
        // Left queued: the next wait encodes it on the waiting thread.
    }
    wait_until_at_most(limit_);
    return 1;
}

std::int32_t frame_saver::keep(const std::u16string& path, frame_named on_named) {
    auto work = std::make_shared<frame>();
    work->path = path;
    work->on_named = std::move(on_named);
    work->state = frame_state::kept;
    if (!queue(work)) return 0;
    std::lock_guard guard(lock_);
    name_finished_frames();
    return 1;
}

// Under the lock, so that a close that has returned has seen every frame it must finish.
std::int32_t frame_saver::queue(const frame_ptr& work) {
    std::lock_guard guard(lock_);
    if (failed() || closed()) {
        bitmap_delete(std::exchange(work->canvas, 0));
        return 0;
    }
    // The frame's whole share at once: its writing never waits for memory that the job, which
    // may be waiting for it, would have to free.
    if (allowance_ && work->canvas) {
        work->allowance_held = canvas_bytes_ + workspace_bytes_;
        allowance_->take_now(work->allowance_held);
    }
    frames_.push_back(work);
    return 1;
}

void frame_saver::finish() {
    wait_until_at_most(0);
}

std::u16string frame_saver::failed_path() const {
    std::lock_guard guard(lock_);
    return failed_path_;
}

const char* frame_saver::failed_reason() const {
    std::lock_guard guard(lock_);
    return failed_problem_.c_str();
}

// The oldest frame still queued, now being encoded by the caller, when fewer than the encoders
// allowed are at work (their memory is held at once) and no frame has failed; else null. Under the
// lock.
frame_saver::frame_ptr frame_saver::claim_queued() {
    if (failed()) return nullptr;
    const auto encoding = static_cast<std::size_t>(
        std::count_if(frames_.begin(), frames_.end(),
                      [](const frame_ptr& f) { return f->state == frame_state::encoding; }));
    if (encoding >= encoders_) return nullptr;
    const auto queued = std::find_if(frames_.begin(), frames_.end(), [](const frame_ptr& f) {
        return f->state == frame_state::queued;
    });
    if (queued == frames_.end()) return nullptr;
    (*queued)->state = frame_state::encoding;
    return *queued;
}

// Encodes queued frames on this thread, oldest first, rather than wait for a pool thread that
// may never come; waits only while the encoders allowed are at work elsewhere.
void frame_saver::wait_until_at_most(std::size_t count) {
    std::unique_lock guard(lock_);
    while (frames_.size() > count) {
        if (const frame_ptr work = claim_queued()) {
            guard.unlock();
            encode(work);
            guard.lock();
        } else {
            name_finished_frames();
            if (frames_.size() > count) progressed_.wait(guard);
        }
    }
}

// A pool thread encodes the frames queued while it may: a frame left queued when the encoders
// are all at work is taken by the next one to finish.
void frame_saver::run_queued() {
    for (;;) {
        frame_ptr work;
        {
            std::lock_guard guard(lock_);
            work = claim_queued();
            if (!work) {
                name_finished_frames();
                return;
            }
        }
        encode(work);
    }
}

// Writing frees the canvas; only this thread touches a frame being encoded.
void frame_saver::encode(const frame_ptr& work) {
    const image_handle_t canvas = std::exchange(work->canvas, 0);
    bool written = false;
    try {
        stage_timer timer(render_stage::encode);
        written = sink_->write(canvas, work->part, &work->problem);
    } catch (...) {
        written = false;
        work->problem = error_text(ENOMEM);
    }
    if (allowance_) allowance_->give_back(work->allowance_held);
    {
        std::lock_guard guard(lock_);
        work->state = written ? frame_state::written : frame_state::not_written;
        name_finished_frames();
    }
    progressed_.notify_all();
}

// Gives the oldest frames their names for as long as they are written. After a failure the
// frames behind it are given up instead: their temporary files are removed, and those not yet
// encoded are freed unencoded.
void frame_saver::name_finished_frames() {
    while (!frames_.empty()) {
        frame& oldest = *frames_.front();
        if (oldest.state == frame_state::encoding) return;
        if (oldest.state == frame_state::queued) {
            if (!failed()) return;
            if (allowance_) allowance_->give_back(oldest.allowance_held);
            bitmap_delete(oldest.canvas);
            oldest.canvas = 0;
        } else if (oldest.state == frame_state::kept) {
            // Made by an earlier run: told, but not counted among the frames made.
            if (!failed() && oldest.on_named && !closed()) oldest.on_named();
        } else if (oldest.state == frame_state::written) {
            if (failed())
                sink_->give_up(oldest.part);
            else if (sink_->commit(oldest.part, oldest.path))
                frame_named_now(oldest);
            else
                note_failure(oldest.path, error_text(errno));
        } else if (oldest.state == frame_state::not_written) {
            note_failure(oldest.path, std::move(oldest.problem));
        }
        oldest.state = frame_state::given_up;
        frames_.pop_front();
    }
}

void frame_saver::frame_named_now(const frame& named) {
    render_stats_count_frame();
    // After a close the process is ending and nobody is left to tell.
    if (named.on_named && !closed()) named.on_named();
}

void frame_saver::note_failure(const std::u16string& path, std::string problem) {
    if (failed()) return;
    failed_path_ = path;
    failed_problem_ = std::move(problem);
    failed_.store(true, std::memory_order_release);
}

} // namespace korvel
