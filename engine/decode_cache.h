// Read-ahead decoding: layer files that a render job is expected to load next are decoded on other
// cores into a small cache, keyed by path and checked against the file's identity when taken.
//
// Only the job's thread plans and takes; pool threads only decode. A take never waits for work
// that has not started: a decode still queued is handed back to the caller to do itself, so the
// cache works (without gain) and cannot deadlock when the pool has no thread to spare.
#pragma once

#include "engine/coming_loads.h"
#include "engine/file_identity.h"
#include "engine/work_allowance.h"
#include "image/bitmap.h"

#include <oneapi/tbb/task_group.h>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace korvel {

struct decode_cache_counters {
    std::int64_t hits;    // takes answered with a bitmap decoded ahead
    std::int64_t misses;  // takes the caller had to load itself
    std::int64_t stale;   // of the misses: decoded ahead, but the file has changed since
    std::int64_t decoded; // bitmaps decoded ahead and kept
    std::int32_t entries; // entries held now: queued, being decoded or decoded
};

class decode_cache {
public:
    // At most slots entries at a time, decoded or not; 0 decodes nothing ahead. With an
    // allowance, each entry also holds layer_bytes of it from being queued until it is taken or
    // dropped (or its bitmap's real size, when larger), and no entry is queued when the allowance
    // has none to spare.
    explicit decode_cache(std::int32_t slots, work_allowance* allowance = nullptr,
                          std::int64_t layer_bytes = 0);
    // Frees everything (see release_all).
    ~decode_cache();
    decode_cache(const decode_cache&) = delete;
    decode_cache& operator=(const decode_cache&) = delete;

    // Replaces the loads expected: entries they do not want soon are freed, and the first slots
    // loads they name are queued for decoding.
    void plan(coming_loads forecast);

    // The bitmap of path decoded ahead, when the file still has the identity it had while being
    // decoded; the caller then owns it. 0 when the caller must load the file itself: nothing was
    // decoded ahead, the decode had not started (it is given up), it failed, or the file changed.
    // A decode of path under way is waited for (while waiting, queued decodes are done here).
    image_handle_t take(const std::u16string& path, std::int32_t* source_depth);

    // Drops queued work, waits for the decodes under way and frees every bitmap held. The cache
    // stays usable: the next plan starts afresh.
    void release_all();

    decode_cache_counters counters() const;

private:
    enum class entry_state { queued, decoding, decoded, given_up };
    struct entry {
        std::u16string path;
        entry_state state = entry_state::queued;
        bool wanted = true;
        image_handle_t handle = 0;
        std::int32_t source_depth = 0;
        file_identity identity{};
        std::int64_t allowance_held = 0;
    };
    using entry_ptr = std::shared_ptr<entry>;

    void advance_past(const std::u16string& path);
    std::vector<entry_ptr> queue_window();
    void start(const std::vector<entry_ptr>& work);
    void run_queued(const entry_ptr& work);
    void decode(const entry_ptr& work);
    void wait_while_decoding(std::unique_lock<std::mutex>& guard, const std::u16string& path);
    entry_ptr queued_in_window();
    void forget(const entry_ptr& dropped);
    void erase_entry(const std::u16string& path);
    void hold_real_size(entry& decoded);
    image_handle_t take_decoded(const entry& found, std::int32_t* source_depth);

    mutable std::mutex lock_;
    std::condition_variable finished_;
    std::unordered_map<std::u16string, entry_ptr> entries_;
    coming_loads forecast_; // from the next take on
    const std::int32_t slots_;
    work_allowance* const allowance_;
    const std::int64_t layer_bytes_;
    decode_cache_counters counters_{};
    tbb::task_group pool_;
};

} // namespace korvel
