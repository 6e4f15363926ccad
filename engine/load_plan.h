// The order in which a render job is expected to load its layer files from some point on: the
// rest of the frame being drawn (names known), then whole batches of L entries of the sorted
// folder listing, each drawn forward or reversed. It is a forecast only: whatever the job
// actually loads decides, and a wrong forecast costs work, never a different result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace korvel {

using name_list = std::vector<std::u16string>;

struct load_plan {
    std::u16string folder; // joined to each name without a separator, as the job does
    name_list current;     // names still to load in the current frame, in load order
    std::shared_ptr<const name_list> listing; // the folder's entries in enumeration order
    std::int64_t position = 0;                // entries of the listing taken before the next batch
    std::int64_t layers = 1;                  // L of the batches after current
    bool reverse = false;    // the batches are drawn from their last entry to their first
    std::int64_t frames = 0; // whole batches after current

    // The path of the k-th load from now (0 is the next one), or false when the plan ends first.
    bool path_at(std::size_t k, std::u16string* path) const;
};

// The names that enumerating folder for "*.png" delivers, in order; null when the folder cannot
// be read.
std::shared_ptr<const name_list> png_listing(const char16_t* folder);

} // namespace korvel
