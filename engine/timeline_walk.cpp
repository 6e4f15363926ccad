// An input shows until the next input that shows, the last one until the timeline's end.
#include "engine/timeline_walk.h"

#include <algorithm>

namespace korvel {

bool timeline_walk::next_shown(const shown_input& from, shown_input* next) {
    for (std::int64_t i = from.index + 1;; ++i) {
        std::int64_t ticks = 0, units = 0;
        if (!timeline_.start_of(i, &ticks)) return false;
        if (__builtin_mul_overflow(ticks, scale_, &units)) {
            beyond_units_ = true;
            return false;
        }
        const bool shows = units > from.start;
        if (i >= counted_to_) {
            counted_to_ = i + 1;
            passed_over_ += shows ? 0 : 1;
        }
        if (shows) {
            *next = {i, units};
            return true;
        }
    }
}

bool timeline_walk::last_end(std::int64_t* units) {
    return !beyond_units_ && !__builtin_mul_overflow(timeline_.end_ticks(), scale_, units);
}

bool timeline_walk::pieces(std::int64_t start, std::int64_t end, shown_input* from,
                           std::vector<exposure_piece>* pieces) {
    pieces->clear();
    shown_input at = *from;
    for (;;) {
        shown_input next{};
        const bool more = next_shown(at, &next);
        std::int64_t until = next.start;
        if (!more && !last_end(&until)) return false;
        if (until <= start) {
            if (!more) return false;
            at = next;
            continue;
        }
        if (pieces->empty()) *from = at;
        if (!more && until < end) return false;
        pieces->push_back({at.index, std::max(at.start, start), std::min(until, end)});
        if (!more || until >= end) return true;
        at = next;
    }
}

} // namespace korvel
