// Group selection, key lookup and stores on a preference file's entries.
#include "runtime/pref_document.h"

#include <algorithm>

namespace korvel {
namespace {

char fold_ascii_letter(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

bool is_group(const pref_entry& entry) {
    return entry.kind == pref_entry_kind::group;
}

} // namespace

bool pref_same_name(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, {}, fold_ascii_letter, fold_ascii_letter);
}

bool pref_document::select_group(std::string_view name) {
    if (name.empty()) {
        pending_group_.clear();
        section_begin_ = 0;
        return true;
    }
    const auto found = std::ranges::find_if(entries_, [name](const pref_entry& entry) {
        return is_group(entry) && pref_same_name(entry.text, name);
    });
    if (found == entries_.end()) {
        pending_group_ = name;
        return false;
    }
    pending_group_.clear();
    section_begin_ = static_cast<std::size_t>(found - entries_.begin()) + 1;
    return true;
}

std::size_t pref_document::section_end() const {
    const auto begin = entries_.begin() + static_cast<std::ptrdiff_t>(section_begin_);
    return static_cast<std::size_t>(std::find_if(begin, entries_.end(), is_group) -
                                    entries_.begin());
}

std::size_t pref_document::find_key(std::string_view key) const {
    const std::size_t end = section_end();
    for (std::size_t i = section_begin_; i < end; ++i) {
        const pref_entry& entry = entries_[i];
        if (entry.kind == pref_entry_kind::key && pref_same_name(entry.key, key)) return i;
    }
    return entries_.size();
}

const std::string* pref_document::find_value(std::string_view key) const {
    if (!pending_group_.empty()) return nullptr;
    const std::size_t found = find_key(key);
    return found < entries_.size() ? &entries_[found].text : nullptr;
}

void pref_document::store(std::string_view key, std::string_view value) {
    pref_entry entry{pref_entry_kind::key, std::string(key), std::string(value)};
    if (!pending_group_.empty()) {
        entries_.push_back({pref_entry_kind::group, {}, pending_group_});
        section_begin_ = entries_.size();
        pending_group_.clear();
    }
    const std::size_t found = find_key(key);
    if (found < entries_.size())
        entries_[found] = std::move(entry);
    else
        entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(section_end()),
                        std::move(entry));
}

} // namespace korvel
