// Numbered folder enumerations. dir_examine reads and sorts the whole listing at once; the
// enumeration then hands the names out one by one, so a folder that changes during a render
// cannot reorder or repeat the frames already delivered.
#include "runtime/directory.h"

#include "runtime/folder_listing.h"
#include "runtime/name_pattern.h"
#include "runtime/native_name.h"
#include "runtime/strings.h"

#include <cstddef>
#include <memory>
#include <new>
#include <string>
#include <string_view>

namespace korvel {
namespace {

// Plain data, so that the table may zero-fill it. The listing belongs to the enumeration.
struct dir_enumeration {
    std::uint32_t state; // enumeration_live; 0 only in a free slot
    std::uint32_t fetch_next;
    std::size_t index; // the current entry once fetch_next is set
    folder_listing* listing;
};

constexpr std::uint32_t enumeration_live = 1;

obj_table* dir_table() {
    static obj_table* const table = table_create(sizeof(dir_enumeration), 16, dir_finish);
    return table;
}

dir_enumeration* find_enumeration(obj_number n) {
    return static_cast<dir_enumeration*>(obj_lookup(dir_table(), n));
}

std::u16string_view pattern_or_default(const char16_t* pattern) {
    return pattern && *pattern ? std::u16string_view(pattern) : every_name_pattern;
}

const char16_t* write_result(std::u16string_view text, std::int32_t at) {
    const auto length = std::int32_t(text.size());
    char16_t* room = ws_reserve(length + 1, at);
    text.copy(room, text.size());
    room[length] = 0;
    ws_shrink(1);
    return room;
}

} // namespace

// The folder is opened as given: a trailing "/" makes no difference to the kernel, so "frames"
// and "frames/" list the same, and the path is never cut short.
obj_number dir_examine(obj_number n, const char16_t* folder, const char16_t* pattern) {
    obj_table* table = dir_table();
    void* slot = obj_new(table, n);
    if (!slot) return 0;
    const obj_number key = n == NUMBER_ANY ? reinterpret_cast<obj_number>(slot) : n;
    std::string path;
    std::unique_ptr<folder_listing> listing;
    if (native_name(folder, path)) listing = list_folder(path, pattern_or_default(pattern));
    if (!listing) {
        obj_clear(table, key);
        return 0;
    }
    new (slot) dir_enumeration{enumeration_live, 0, 0, listing.release()};
    return n == NUMBER_ANY ? key : 1;
}

std::int32_t dir_next_entry(obj_number n) {
    dir_enumeration* enumeration = find_enumeration(n);
    if (!enumeration) return 0;
    if (!enumeration->fetch_next) {
        enumeration->fetch_next = 1;
        return enumeration->listing->empty() ? 0 : 1;
    }
    if (enumeration->index + 1 >= enumeration->listing->size()) return 0;
    ++enumeration->index;
    return 1;
}

// Before the first dir_next_entry this is already the first name, and after the end it stays the
// last one delivered: a caller may count the entries and then read the last name.
const char16_t* dir_entry_name(obj_number n, std::int32_t at) {
    const dir_enumeration* enumeration = find_enumeration(n);
    if (!enumeration || enumeration->listing->empty()) return write_result(u"", at);
    return write_result((*enumeration->listing)[enumeration->index], at);
}

void dir_finish(obj_number n) {
    dir_enumeration* enumeration = find_enumeration(n);
    if (!enumeration) return;
    delete enumeration->listing;
    obj_clear(dir_table(), n);
}

} // namespace korvel
