// Numbered file objects and the path operations that go through the sharing rules.
#include "runtime/files.h"

#include "runtime/file_share.h"

#include <cstdlib>
#include <new>

namespace korvel {
namespace {

// Plain data, so that the table may zero-fill it.
struct file_object {
    std::int32_t handle; // descriptor + 1, so that an open file never has 0 here
    std::int32_t buffer_size;
    unsigned char* buffer;
    std::int64_t buffer_position;
};

constexpr std::int32_t file_buffer_size = 4096;

obj_table* file_table() {
    static obj_table* const table = table_create(sizeof(file_object), 16, file_close);
    return table;
}

} // namespace

void files_init() {
    file_table();
}

void files_end() {
    table_free_all(file_table());
}

obj_number file_open_read(obj_number n, const char16_t* name) {
    obj_table* table = file_table();
    void* slot = obj_new(table, n);
    if (!slot) return 0;
    const obj_number key = n == NUMBER_ANY ? reinterpret_cast<obj_number>(slot) : n;
    auto* buffer = static_cast<unsigned char*>(std::malloc(file_buffer_size));
    const int fd =
        buffer ? shared_open(name, ACCESS_READ, SHARE_READ, open_disposition::open_existing) : -1;
    if (fd < 0) {
        std::free(buffer);
        obj_clear(table, key);
        return 0;
    }
    new (slot) file_object{fd + 1, file_buffer_size, buffer, 0};
    return n == NUMBER_ANY ? key : fd + 1;
}

void file_close(obj_number n) {
    if (n == NUMBER_ANY) return;
    obj_table* table = file_table();
    auto* file = static_cast<file_object*>(obj_lookup(table, n));
    if (!file) return;
    std::free(file->buffer);
    shared_close(file->handle - 1);
    obj_clear(table, n);
}

std::int32_t file_delete(const char16_t* name) {
    return name ? shared_delete(name) : 0;
}

std::int32_t file_rename(const char16_t* from, const char16_t* to) {
    return from && to ? shared_rename(from, to) : 0;
}

} // namespace korvel
