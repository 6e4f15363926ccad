// Opening, reading and writing back the file behind a thread's current preferences. Every open
// goes through the emulated sharing modes, so that a file one thread holds for writing cannot be
// emptied by another.
#include "runtime/pref_file.h"

#include "runtime/file_share.h"
#include "runtime/pref_format.h"
#include "runtime/pref_parse.h"
#include "runtime/utf.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace korvel {
namespace {

bool holds_non_ascii(std::string_view bytes) {
    return std::any_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

const char16_t* or_empty(const char16_t* name) {
    return name ? name : u"";
}

// Read and write access when no one else writes; otherwise read-only, first keeping writers out
// and at last tolerating one.
int open_existing(const char16_t* name, bool& writable) {
    writable = true;
    int handle =
        shared_open(name, ACCESS_READ | ACCESS_WRITE, SHARE_READ, open_disposition::open_existing);
    if (handle >= 0) return handle;
    writable = false;
    handle = shared_open(name, ACCESS_READ, SHARE_READ, open_disposition::open_existing);
    if (handle >= 0) return handle;
    return shared_open(name, ACCESS_READ, SHARE_READ | SHARE_WRITE,
                       open_disposition::open_existing);
}

// The whole file from its start. Throws bad_alloc.
bool read_whole(int handle, std::string& bytes) {
    char chunk[65536];
    for (;;) {
        const ssize_t got = pread(handle, chunk, sizeof chunk, static_cast<off_t>(bytes.size()));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return got == 0;
        bytes.append(chunk, static_cast<std::size_t>(got));
    }
}

bool write_whole(int handle, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put =
            pwrite(handle, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

// Cuts the old tail only once the new contents are all on disk: a failed write must not shorten
// the file below what it held.
bool replace_contents(int handle, std::string_view bytes) {
    return write_whole(handle, bytes) && ftruncate(handle, static_cast<off_t>(bytes.size())) == 0;
}

// Throws bad_alloc.
bool is_missing(const char16_t* name) {
    struct stat info;
    return stat(utf8_from_utf16(name).c_str(), &info) != 0 && errno == ENOENT;
}

} // namespace

std::intptr_t pref_file::create(const char16_t* name) noexcept {
    close();
    const int handle = shared_open(or_empty(name), ACCESS_READ | ACCESS_WRITE, SHARE_READ,
                                   open_disposition::create_always);
    if (handle < 0) return 0;
    handle_ = handle;
    writable_ = true;
    with_mark_ = true;
    return handle + 1;
}

std::intptr_t pref_file::open(const char16_t* name) noexcept {
    close();
    name = or_empty(name);
    bool writable = false;
    const int handle = open_existing(name, writable);
    if (handle < 0) {
        remember_if_missing(name);
        return 0;
    }
    if (!adopt(handle, writable)) {
        shared_close(handle);
        return 0;
    }
    return handle + 1;
}

bool pref_file::adopt(int handle, bool writable) noexcept {
    try {
        std::string bytes;
        if (!read_whole(handle, bytes)) return false;
        document_ = pref_document(pref_parse(pref_decode(bytes)));
        // Only an empty file stays without the mark; Latin-1 files come back as UTF-8.
        with_mark_ = !bytes.empty();
    } catch (const std::bad_alloc&) {
        return false;
    }
    handle_ = handle;
    writable_ = writable;
    return true;
}

void pref_file::remember_if_missing(const char16_t* name) noexcept {
    try {
        if (is_missing(name)) {
            create_at_close_.emplace(name);
            with_mark_ = true;
        }
    } catch (const std::bad_alloc&) {
        create_at_close_.reset();
    }
}

void pref_file::close() noexcept {
    if (modified_) write_back();
    if (handle_ >= 0) shared_close(handle_);
    handle_ = -1;
    writable_ = false;
    with_mark_ = false;
    modified_ = false;
    create_at_close_.reset();
    document_ = pref_document{};
}

void pref_file::write_back() noexcept {
    if (handle_ < 0 && create_at_close_) {
        handle_ = shared_open(create_at_close_->c_str(), ACCESS_READ | ACCESS_WRITE, SHARE_READ,
                              open_disposition::open_always);
        writable_ = true;
    }
    // What was stored in a file that could only be opened for reading is dropped.
    if (handle_ < 0 || !writable_) return;
    try {
        std::string contents = pref_format(document_.entries(), with_mark_);
        // An empty file stays without the mark only while it holds plain ASCII: other bytes
        // without the mark would be read back as ISO 8859-1, changed.
        if (!with_mark_ && holds_non_ascii(contents))
            contents = pref_format(document_.entries(), true);
        replace_contents(handle_, contents);
    } catch (const std::bad_alloc&) {
        // Without memory for the new contents the old ones stay as they were.
    }
}

bool pref_file::select_group(std::string_view name) {
    return is_current() && document_.select_group(name);
}

bool pref_file::store(std::string_view key, std::string_view value) {
    if (!is_current()) return false;
    document_.store(key, value);
    modified_ = true;
    return true;
}

const std::string* pref_file::find_value(std::string_view key) const {
    return is_current() ? document_.find_value(key) : nullptr;
}

} // namespace korvel
