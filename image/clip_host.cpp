// Inside the clip module, the program's bitmaps and load problems: the module has no allocator
// and no record of its own, which would free the program's images wrongly or lose its messages.
#include "image/clip_host.h"
#include "image/load_problem.h"
#include "runtime/utf.h"

namespace korvel {
namespace {

clip_host program;

} // namespace

void clip_host_use(const clip_host& host) {
    program = host;
}

image_handle_t bitmap_create(std::int32_t width, std::int32_t height, std::int32_t depth) {
    return program.bitmap_create(width, height, depth);
}

bitmap* bitmap_get(image_handle_t handle) {
    return program.bitmap_get(handle);
}

void bitmap_delete(image_handle_t handle) {
    program.bitmap_delete(handle);
}

void load_problem_clear() {
    program.load_problem_clear();
}

void load_problem_note(const char* text) {
    program.load_problem_note(text);
}

void load_problem_note_errno(int error) {
    program.load_problem_note_errno(error);
}

std::string utf8_from_utf16(const char16_t* text, std::int32_t length) {
    return program.utf8_from_utf16(text, length);
}

} // namespace korvel
