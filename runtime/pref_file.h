// One thread's current preference file: the open handle, how it was opened, and its entries.
// Parsed in full when opened; rewritten in one piece at close, and only when something was
// stored.
#pragma once

#include "runtime/pref_document.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvel {

class pref_file {
public:
    pref_file() = default;
    pref_file(const pref_file&) = delete;
    pref_file& operator=(const pref_file&) = delete;
    ~pref_file() { close(); }

    // Closes the current file, then creates name afresh (emptying an existing file, but only when
    // no other handle holds it with write access). Non-zero handle, or 0.
    std::intptr_t create(const char16_t* name) noexcept;

    // Closes the current file, then opens and parses name. Non-zero handle, or 0. After 0 for a
    // file that does not exist, stores still work and close creates the file; after 0 for a file
    // that exists but cannot be opened or read, there is no current file, so that its contents
    // can never be replaced by what was stored without them.
    std::intptr_t open(const char16_t* name) noexcept;

    // Writes the file back if something was stored and the file can be written, then forgets it.
    // Write errors are not reported; a write that fails part-way does not cut the old contents.
    void close() noexcept;

    // False when there is no current file or no such group. Throws bad_alloc.
    bool select_group(std::string_view name);
    // False when there is no current file. Throws bad_alloc.
    bool store(std::string_view key, std::string_view value);
    // Null when there is no current file or no such key. Valid until the next change.
    const std::string* find_value(std::string_view key) const;

private:
    bool is_current() const { return handle_ >= 0 || create_at_close_.has_value(); }
    bool adopt(int handle, bool writable) noexcept;
    void remember_if_missing(const char16_t* name) noexcept;
    void write_back() noexcept;

    int handle_ = -1;
    bool writable_ = false;
    bool with_mark_ = false;
    bool modified_ = false;
    // The name of a missing file that pref_open was asked for: created at close when written.
    std::optional<std::u16string> create_at_close_;
    pref_document document_;
};

} // namespace korvel
