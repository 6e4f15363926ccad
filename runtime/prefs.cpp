// The preference operations on the calling thread's current file, and the per-thread record that
// holds it. The record is plain data (the address of the thread's pref_file) so that the release
// after the thread has ended can close the file from the record alone, on another thread.
#include "runtime/prefs.h"

#include "runtime/pref_file.h"
#include "runtime/strings.h"
#include "runtime/thread_data.h"
#include "runtime/utf.h"

#include <cstring>
#include <mutex>
#include <new>

namespace korvel {
namespace {

std::once_flag record_registered;
std::int32_t record_offset = 0;

// Records sit at offsets that are multiples of 4 only, so the address is copied, never
// dereferenced in place.
pref_file* file_in(void* record) {
    pref_file* file = nullptr;
    if (record) std::memcpy(&file, record, sizeof file);
    return file;
}

void set_file_in(void* record, pref_file* file) {
    std::memcpy(record, &file, sizeof file);
}

// Closes the file (writing it back when something was stored) and frees the thread's state.
void release_record(void* record) {
    delete file_in(record);
    set_file_in(record, nullptr);
}

void* own_record() {
    prefs_init();
    return thread_data(record_offset);
}

pref_file* own_file() {
    return file_in(own_record());
}

pref_file* own_file_made() {
    void* record = own_record();
    pref_file* file = file_in(record);
    if (!file && record) {
        file = new (std::nothrow) pref_file;
        set_file_in(record, file);
    }
    return file;
}

const char16_t* copy_default(const char16_t* def, std::int32_t at) {
    const std::int32_t length = str_len(def);
    // The default may lie in the workspace, which can move when room is reserved.
    const std::intptr_t in_workspace = ws_offset_of(def);
    char16_t* room = ws_reserve(length, at);
    const char16_t* source = in_workspace ? ws_address_of(in_workspace) : def;
    if (length > 0) std::memmove(room, source, static_cast<std::size_t>(length) * sizeof(char16_t));
    room[length] = 0;
    return room;
}

// Values keep their blanks in the file; readers see them trimmed. A zero byte ends the text, as
// it would for any reader of the result.
std::string_view readable_value(std::string_view value) {
    value = value.substr(0, value.find('\0'));
    return pref_drop_trailing_blanks(pref_skip_blanks(value));
}

} // namespace

void prefs_init() {
    std::call_once(record_registered, [] {
        record_offset = thread_data_register(sizeof(pref_file*), nullptr, release_record);
    });
}

void prefs_end() {
    if (void* record = own_record()) release_record(record);
}

std::intptr_t pref_create(const char16_t* name) {
    pref_file* file = own_file_made();
    return file ? file->create(name) : 0;
}

std::intptr_t pref_open(const char16_t* name) {
    pref_file* file = own_file_made();
    return file ? file->open(name) : 0;
}

std::int32_t pref_group(const char16_t* name) {
    pref_file* file = own_file();
    try {
        return file && file->select_group(utf8_from_utf16(name)) ? 1 : 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

std::int32_t pref_write_string(const char16_t* key, const char16_t* value) {
    pref_file* file = own_file();
    try {
        return file && file->store(utf8_from_utf16(key), utf8_from_utf16(value)) ? 1 : 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

const char16_t* pref_read_string(const char16_t* key, const char16_t* def, std::int32_t at) {
    pref_file* file = own_file();
    try {
        if (const std::string* value = file ? file->find_value(utf8_from_utf16(key)) : nullptr)
            return utf16_from_utf8_at(readable_value(*value), at);
    } catch (const std::bad_alloc&) {
        // Without memory for the key the default stands in, as for a key that is not there.
    }
    return copy_default(def, at);
}

void pref_close() {
    if (pref_file* file = own_file()) file->close();
}

} // namespace korvel
