// The read-ahead cache. One lock guards the entries, the forecast and the counters; bitmaps are
// decoded outside it. An entry that nobody wants any more is freed at once, or, while a pool
// thread is still decoding it, by that thread when it finishes.
#include "engine/decode_cache.h"

#include "engine/pool_task.h"
#include "engine/render_stats.h"
#include "image/codec.h"

#include <algorithm>
#include <unordered_set>

namespace korvel {

decode_cache::decode_cache(std::int32_t slots, work_allowance* allowance, std::int64_t layer_bytes)
    : slots_(std::max(slots, 0)), allowance_(allowance), layer_bytes_(layer_bytes) {}

decode_cache::~decode_cache() {
    release_all();
}

void decode_cache::release_all() {
    {
        std::lock_guard guard(lock_);
        forecast_ = {};
        std::vector<entry_ptr> held;
        for (const auto& [path, held_entry] : entries_)
            held.push_back(held_entry);
        for (const entry_ptr& dropped : held)
            forget(dropped);
    }
    pool_.wait();
}

void decode_cache::plan(coming_loads forecast) {
    std::vector<entry_ptr> work;
    {
        std::lock_guard guard(lock_);
        forecast_ = std::move(forecast);
        std::unordered_set<std::u16string> soon;
        std::u16string path;
        for (std::size_t k = 0; k < static_cast<std::size_t>(slots_); ++k)
            if (forecast_.path_at(k, &path)) soon.insert(path);
        std::vector<entry_ptr> unwanted;
        for (const auto& [held_path, held] : entries_) {
            held->wanted = soon.count(held_path) != 0;
            if (!held->wanted) unwanted.push_back(held);
        }
        for (const entry_ptr& dropped : unwanted)
            forget(dropped);
        work = queue_window();
    }
    start(work);
}

image_handle_t decode_cache::take(const std::u16string& path, std::int32_t* source_depth) {
    *source_depth = 0;
    image_handle_t handle = 0;
    std::vector<entry_ptr> work;
    {
        std::unique_lock guard(lock_);
        advance_past(path);
        wait_while_decoding(guard, path);
        const auto at = entries_.find(path);
        if (at != entries_.end()) {
            const entry_ptr found = at->second;
            erase_entry(path);
            if (found->state == entry_state::decoded) handle = take_decoded(*found, source_depth);
            // A decode still queued is given up: the caller loads the file itself.
            found->state = entry_state::given_up;
        }
        ++(handle ? counters_.hits : counters_.misses);
        work = queue_window();
    }
    start(work);
    return handle;
}

decode_cache_counters decode_cache::counters() const {
    std::lock_guard guard(lock_);
    decode_cache_counters now = counters_;
    now.entries = static_cast<std::int32_t>(entries_.size());
    return now;
}

// The forecast's position moves past path when path is one of the loads it expects soon.
void decode_cache::advance_past(const std::u16string& path) {
    std::u16string expected;
    for (std::size_t k = 0; k < static_cast<std::size_t>(slots_); ++k) {
        if (!forecast_.path_at(k, &expected)) return;
        if (expected == path) {
            forecast_.advance(k + 1);
            return;
        }
    }
}

// New entries for the loads expected next, while slots are free; the caller starts them.
std::vector<decode_cache::entry_ptr> decode_cache::queue_window() {
    std::vector<entry_ptr> work;
    std::u16string path;
    for (std::size_t k = 0;
         k < static_cast<std::size_t>(slots_) && entries_.size() < static_cast<std::size_t>(slots_);
         ++k) {
        if (!forecast_.path_at(k, &path)) break;
        if (entries_.count(path) != 0) continue;
        if (allowance_ && !allowance_->try_take(layer_bytes_)) break;
        auto queued = std::make_shared<entry>();
        queued->path = path;
        queued->allowance_held = allowance_ ? layer_bytes_ : 0;
        entries_.emplace(path, queued);
        work.push_back(queued);
    }
    return work;
}

void decode_cache::start(const std::vector<entry_ptr>& work) {
    for (const entry_ptr& queued : work) {
        try {
            pool_run(pool_, [this, queued] { run_queued(queued); });
        } catch (...) {
            // Without a task the entry would wait forever: the job loads that file itself.
            std::lock_guard guard(lock_);
            forget(queued);
        }
    }
}

void decode_cache::run_queued(const entry_ptr& work) {
    {
        std::lock_guard guard(lock_);
        if (work->state != entry_state::queued) return;
        work->state = entry_state::decoding;
    }
    decode(work);
}

// Decodes an entry that the calling thread has claimed. The file's identity is taken before and
// after: a file that changed meanwhile may have been read half old, half new, so it is dropped.
void decode_cache::decode(const entry_ptr& work) {
    file_identity before{};
    file_identity after{};
    std::int32_t source_depth = 0;
    image_handle_t handle = 0;
    try {
        if (file_identity_of(work->path.c_str(), &before)) {
            stage_timer timer(render_stage::decode);
            handle = bitmap_load(work->path.c_str(), &source_depth);
        }
        if (handle && !(file_identity_of(work->path.c_str(), &after) && after == before)) {
            bitmap_delete(handle);
            handle = 0;
        }
    } catch (...) {
        bitmap_delete(handle);
        handle = 0;
    }
    {
        std::lock_guard guard(lock_);
        if (handle && work->wanted) {
            work->state = entry_state::decoded;
            work->handle = handle;
            work->source_depth = source_depth;
            work->identity = before;
            hold_real_size(*work);
            ++counters_.decoded;
        } else {
            bitmap_delete(handle);
            work->state = entry_state::given_up;
            const auto at = entries_.find(work->path);
            if (at != entries_.end() && at->second == work) erase_entry(work->path);
        }
    }
    finished_.notify_all();
}

// While a pool thread decodes path, this thread decodes queued entries of the window (a better use
// of it than waiting), and waits only when there are none.
void decode_cache::wait_while_decoding(std::unique_lock<std::mutex>& guard,
                                       const std::u16string& path) {
    for (;;) {
        const auto at = entries_.find(path);
        if (at == entries_.end() || at->second->state != entry_state::decoding) return;
        at->second->wanted = true;
        const entry_ptr other = queued_in_window();
        if (!other) {
            finished_.wait(guard);
            continue;
        }
        other->state = entry_state::decoding;
        guard.unlock();
        decode(other);
        guard.lock();
    }
}

// The first entry of the expected loads still waiting for a pool thread.
decode_cache::entry_ptr decode_cache::queued_in_window() {
    std::u16string path;
    for (std::size_t k = 0; k < static_cast<std::size_t>(slots_); ++k) {
        if (!forecast_.path_at(k, &path)) break;
        const auto at = entries_.find(path);
        if (at != entries_.end() && at->second->state == entry_state::queued) return at->second;
    }
    return nullptr;
}

// Drops an entry from the cache; one being decoded is left to its decoder, which frees it.
void decode_cache::forget(const entry_ptr& dropped) {
    dropped->wanted = false;
    if (dropped->state == entry_state::decoding) return;
    if (dropped->state == entry_state::decoded) bitmap_delete(dropped->handle);
    dropped->handle = 0;
    dropped->state = entry_state::given_up;
    erase_entry(dropped->path);
}

// Every entry in the cache holds its share of the allowance until it leaves.
void decode_cache::erase_entry(const std::u16string& path) {
    const auto at = entries_.find(path);
    if (at == entries_.end()) return;
    if (allowance_) allowance_->give_back(at->second->allowance_held);
    entries_.erase(at);
}

// A layer larger than the canvas (inputs of different sizes) holds what it really takes.
void decode_cache::hold_real_size(entry& decoded) {
    const bitmap* pixels = bitmap_get(decoded.handle);
    if (!allowance_ || pixels == nullptr) return;
    const std::int64_t bytes = std::int64_t{pixels->stride} * pixels->height;
    if (bytes <= decoded.allowance_held) return;
    allowance_->take_now(bytes - decoded.allowance_held);
    decoded.allowance_held = bytes;
}

// A decoded entry's bitmap for the caller, when the file is still the one that was decoded.
image_handle_t decode_cache::take_decoded(const entry& found, std::int32_t* source_depth) {
    file_identity now{};
    if (file_identity_of(found.path.c_str(), &now) && now == found.identity) {
        *source_depth = found.source_depth;
        return found.handle;
    }
    bitmap_delete(found.handle);
    ++counters_.stale;
    return 0;
}

} // namespace korvel
