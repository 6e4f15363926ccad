// A preference file's entries together with the section that reads and writes address: the top
// section (the keys before the first group header) or one group.
#pragma once

#include "runtime/pref_entries.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace korvel {

// Group names and keys match byte for byte, except that the letters A-Z match either case.
bool pref_same_name(std::string_view a, std::string_view b);

class pref_document {
public:
    pref_document() = default;
    explicit pref_document(pref_entries entries) : entries_(std::move(entries)) {}

    // Selects the first group called name, or the top section for "". When there is no such
    // group the selection stays, the name becomes pending (reads find nothing) and the next store
    // creates the group at the end. Returns whether the section exists. Throws bad_alloc.
    bool select_group(std::string_view name);

    // The first value stored under key in the current section; null when there is none or while
    // a group is pending. Valid until the next change.
    const std::string* find_value(std::string_view key) const;

    // Replaces the first entry for key in the current section (taking the key's spelling from this
    // call) or adds one at the end of the section. Throws bad_alloc, leaving the entry unchanged.
    void store(std::string_view key, std::string_view value);

    const pref_entries& entries() const { return entries_; }

private:
    std::size_t find_key(std::string_view key) const;
    std::size_t section_end() const;

    pref_entries entries_;
    // Index of the current section's first entry: 0 for the top section, else the one after the
    // group's header. Entries are only ever added at or after it, so the index stays valid.
    std::size_t section_begin_ = 0;
    std::string pending_group_;
};

} // namespace korvel
