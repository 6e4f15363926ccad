// The per-thread string workspace: a growable block in which texts are assembled, addressed by
// byte offsets so that a growth in the middle of an expression loses nothing.
#include "runtime/strings.h"

#include "runtime/threads.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace korvel {
namespace {

struct Workspace {
    std::uint8_t* buffer;
    std::int32_t capacity;
    std::int32_t position;
};

constexpr std::int32_t initial_capacity = 16;
// Growth overshoots the need by this much, so a thread reaches its working size in a few steps.
constexpr std::int64_t growth_step = 16384;
// Room beyond the capacity for the terminator that follows a reservation at the very end.
constexpr std::int64_t block_slack = 10;

thread_local Workspace* current_workspace = nullptr;

// A reservation hands out room that the caller writes unconditionally, so there is no way to
// report a failure: ending the process is the only answer that cannot corrupt memory.
[[noreturn]] void out_of_text_memory() {
    std::fputs("korvel: out of memory for text\n", stderr);
    std::abort();
}

void release_workspace(void* record) {
    auto* workspace = static_cast<Workspace*>(record);
    std::free(workspace->buffer);
    std::free(workspace);
}

// Every thread gets its workspace on first need; it is released after the thread has ended (the
// main thread's never is, since the process ends first).
Workspace& workspace() {
    if (current_workspace) return *current_workspace;
    auto* created = static_cast<Workspace*>(std::malloc(sizeof(Workspace)));
    auto* buffer = static_cast<std::uint8_t*>(std::malloc(initial_capacity));
    if (!created || !buffer) out_of_text_memory();
    *created = Workspace{buffer, initial_capacity, 0};
    current_workspace = created;
    at_thread_exit(release_workspace, created);
    return *created;
}

void grow(Workspace& ws, std::int64_t end) {
    const std::int64_t capacity = end + growth_step;
    if (capacity + block_slack > INT32_MAX) out_of_text_memory();
    void* block = std::realloc(ws.buffer, static_cast<std::size_t>(capacity + block_slack));
    if (!block) out_of_text_memory();
    ws.buffer = static_cast<std::uint8_t*>(block);
    ws.capacity = static_cast<std::int32_t>(capacity);
}

} // namespace

void strings_init() {
    workspace();
}

void strings_thread_init() {
    workspace();
}

std::int32_t ws_position() {
    return workspace().position;
}

char16_t* ws_reserve(std::int32_t count, std::int32_t start) {
    Workspace& ws = workspace();
    count = std::max(count, 0);
    if (start < 0) start = ws.position;
    // Measured from the farther of start and position, so a start beyond the position still gets
    // its room.
    const std::int64_t end = std::int64_t{std::max(ws.position, start)} + 2 * std::int64_t{count};
    if (end >= ws.capacity - 4) grow(ws, end);
    ws.position = start + 2 * count;
    return reinterpret_cast<char16_t*>(ws.buffer + start);
}

std::int32_t ws_shrink(std::int32_t count) {
    Workspace& ws = workspace();
    const std::int64_t moved = std::int64_t{ws.position} - 2 * std::int64_t{count};
    ws.position = static_cast<std::int32_t>(std::clamp<std::int64_t>(moved, 0, INT32_MAX));
    return ws.position;
}

void ws_finish() {
    workspace().position += 2;
}

std::uint8_t* ws_base() {
    return workspace().buffer;
}

void ws_restore(std::int32_t saved) {
    workspace().position = std::max(saved, 0);
}

const char16_t* ws_result(std::int32_t saved) {
    ws_restore(saved);
    return ws_text(workspace().position);
}

// Any address inside the block counts, not only those below the position: a text that was
// released but is still read must survive the move that a later reservation may cause.
std::intptr_t ws_offset_of(const void* address) {
    const Workspace& ws = workspace();
    const auto base = reinterpret_cast<std::uintptr_t>(ws.buffer);
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    if (at < base || at > base + static_cast<std::uintptr_t>(ws.capacity)) return 0;
    return static_cast<std::intptr_t>(at - base) + 1;
}

const char16_t* ws_address_of(std::intptr_t offset_plus_one) {
    return reinterpret_cast<const char16_t*>(workspace().buffer + offset_plus_one - 1);
}

} // namespace korvel
