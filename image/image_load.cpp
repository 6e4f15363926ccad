// Loading images from files and from encoded bytes in memory: the BMP reader, the icon reader and
// then the registered decoders are asked in turn, so the content decides, never the file name.
#include "image/bmp_reader.h"
#include "image/codec.h"
#include "image/icon_reader.h"
#include "image/image_slot.h"
#include "image/load_problem.h"
#include "runtime/utf.h"

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>

namespace korvel {
namespace {

image_handle_t read_builtin(const byte_source& source, bmp_keep keep, std::int32_t* source_depth) {
    image_handle_t handle = bmp_read(source, keep, source_depth);
    if (handle == 0) handle = icon_read(source, source_depth);
    return handle;
}

// Notes why a file cannot be read as a picture at all: missing, a folder, not readable.
bool readable_file(const std::string& native) {
    struct stat status {};
    if (stat(native.c_str(), &status) != 0) {
        load_problem_note_errno(errno);
        return false;
    }
    if (S_ISDIR(status.st_mode)) load_problem_note_errno(EISDIR);
    return !S_ISDIR(status.st_mode);
}

image_handle_t read_file_builtin(const std::string& native, std::int32_t* source_depth) {
    std::FILE* file = std::fopen(native.c_str(), "rb");
    if (file == nullptr) {
        load_problem_note_errno(errno);
        return 0;
    }
    image_handle_t handle = read_builtin(file_source(file), bmp_keep::as_file, source_depth);
    std::fclose(file);
    return handle;
}

// The bitmap of the decoder that accepted the source, with the depth it reports.
image_handle_t decode_probed(std::int32_t* source_depth) {
    image_handle_t handle = decode_to_bitmap();
    *source_depth = decode_context_current()->source_depth;
    return handle;
}

} // namespace

image_handle_t bitmap_load(const char16_t* file_name, std::int32_t* source_depth) {
    *source_depth = 0;
    load_problem_clear();
    if (file_name == nullptr || file_name[0] == 0) return 0;
    const std::string native = utf8_from_utf16(file_name);
    if (!readable_file(native)) return 0;
    image_handle_t handle = read_file_builtin(native, source_depth);
    if (handle != 0) return handle;
    if (decoder_probe_file(file_name)) return decode_probed(source_depth);
    load_problem_note("not a PNG file");
    return 0;
}

obj_number image_load(obj_number n, const char16_t* file_name) {
    image_record* record = image_slot_take(n);
    if (record == nullptr) return 0;
    std::int32_t source_depth = 0;
    const image_handle_t handle = bitmap_load(file_name, &source_depth);
    return image_slot_fill(n, record, handle, source_depth);
}

obj_number image_catch(obj_number n, const std::uint8_t* data, std::size_t length) {
    image_record* record = image_slot_take(n);
    if (record == nullptr) return 0;
    std::int32_t source_depth = 0;
    image_handle_t handle = 0;
    if (data != nullptr && length != 0) {
        handle = read_builtin(memory_source(data, length), bmp_keep::as_memory, &source_depth);
        if (handle == 0 && decoder_probe_memory(data, length)) {
            handle = decode_probed(&source_depth);
        }
    }
    return image_slot_fill(n, record, handle, source_depth);
}

} // namespace korvel
