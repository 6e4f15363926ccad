// The files a render job will load from its next step on, read off a cursor over its plan: what
// the read-ahead decodes before the job asks. Paths are made as they are asked for, so the view
// costs what the read-ahead looks at, however long the plan.
#pragma once

#include "engine/work_cursor.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace korvel {

using name_list = std::vector<std::u16string>;

class coming_loads {
public:
    // No loads.
    coming_loads() = default;
    // The loads of cursor's steps, each input named by names and joined to folder without a
    // separator, as the job joins them.
    coming_loads(std::u16string folder, std::shared_ptr<const name_list> names, work_cursor cursor);

    // The path of the k-th load from now (0 is the next), or false when the plan ends first.
    bool path_at(std::size_t k, std::u16string* path);
    // The first count loads are done.
    void advance(std::size_t count);

private:
    std::u16string folder_;
    std::shared_ptr<const name_list> names_;
    work_cursor cursor_;
    std::deque<std::u16string> paths_; // the loads read off the cursor and not yet done
};

// The name of input in names: past the end the last one, as an enumeration that has run out keeps
// naming its last entry; "" for NO_INPUT or when there are none.
const std::u16string& entry_name(const name_list& names, std::int64_t input);

} // namespace korvel
