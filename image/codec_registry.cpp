// The decoder and encoder lists, the per-thread decode context, and the probe and decode steps
// that drive a registered decoder over a file or memory.
#include "image/codec.h"

#include "image/load_problem.h"
#include "image/pixel_budget.h"
#include "runtime/thread_data.h"
#include "runtime/utf.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>

namespace korvel {
namespace {

constexpr std::int32_t list_room = 30;

// Lists are filled at start-up and read by every loading thread afterwards; the count is
// published after its entry, so a reader never sees a slot that is not yet written.
template <typename Entry>
struct codec_list {
    const Entry* entries[list_room] = {};
    std::atomic<std::int32_t> count{0};

    void append(const Entry* entry) {
        std::int32_t n = count.load(std::memory_order_relaxed);
        if (entry == nullptr || n == list_room) return;
        entries[n] = entry;
        count.store(n + 1, std::memory_order_release);
    }
    std::int32_t size() const { return count.load(std::memory_order_acquire); }
};

codec_list<decoder_entry> decoders;
codec_list<encoder_entry> encoders;

std::once_flag context_reserved;
std::int32_t context_offset = 0;

// The file name of the calling thread's file source, kept as long as the context points at it.
thread_local std::string probed_file_name;

void reserve_context() {
    context_offset = thread_data_register(sizeof(decode_context), nullptr, nullptr);
}

// A fresh context for a new probe; a source left open by a probe that was never finished is
// closed first, so it cannot leak.
decode_context* fresh_context() {
    decode_context* context = decode_context_current();
    decode_finish();
    std::memset(context, 0, sizeof *context);
    return context;
}

} // namespace

void codecs_init() {
    std::call_once(context_reserved, reserve_context);
}

void decoder_register(const decoder_entry* entry) {
    decoders.append(entry);
}

void encoder_register(const encoder_entry* entry) {
    encoders.append(entry);
}

decode_context* decode_context_current() {
    codecs_init();
    return static_cast<decode_context*>(thread_data(context_offset));
}

const encoder_entry* encoder_find(std::uint32_t identifier) {
    std::int32_t count = encoders.size();
    for (std::int32_t i = 0; i < count; ++i) {
        if (encoders.entries[i]->identifier == identifier) return encoders.entries[i];
    }
    return nullptr;
}

std::int32_t decoder_probe_file(const char16_t* file_name) {
    decode_context* context = fresh_context();
    probed_file_name = utf8_from_utf16(file_name);
    context->file_name = probed_file_name.c_str();
    context->file = std::fopen(context->file_name, "rb");
    if (context->file == nullptr) return 0;
    std::int32_t count = decoders.size();
    for (std::int32_t i = 0; i < count; ++i) {
        if (std::fseek(context->file, 0, SEEK_SET) != 0) break;
        if (decoders.entries[i]->probe(context)) {
            context->decoder = decoders.entries[i];
            return 1;
        }
    }
    std::fclose(context->file);
    context->file = nullptr;
    return 0;
}

std::int32_t decoder_probe_memory(const std::uint8_t* data, std::size_t length) {
    decode_context* context = fresh_context();
    if (data == nullptr || length == 0) return 0;
    context->memory = data;
    context->memory_length = length;
    context->from_memory = 1;
    std::int32_t count = decoders.size();
    for (std::int32_t i = 0; i < count; ++i) {
        if (decoders.entries[i]->probe(context)) {
            context->decoder = decoders.entries[i];
            return 1;
        }
    }
    return 0;
}

image_handle_t decode_to_bitmap() {
    decode_context* context = decode_context_current();
    if (context->decoder == nullptr) return 0;
    image_handle_t handle = 0;
    if (context->bitmap_depth == 24 || context->bitmap_depth == 32) {
        handle = bitmap_create(context->width, context->height, context->bitmap_depth);
    }
    bitmap* target = bitmap_get(handle);
    if (target == nullptr)
        load_problem_note(pixel_memory_allowed(std::int64_t{context->width} * 4, context->height)
                              ? "out of memory"
                              : "larger than the 1 GiB pixel limit");
    // A source that fails part-way is refused: a half-copied frame would otherwise pass for a
    // whole one, its missing rows transparent black, and spoil every frame drawn from it.
    if (target != nullptr &&
        !context->decoder->decode(context, target->pixels, target->stride, ROWS_BOTTOM_UP)) {
        bitmap_delete(handle);
        handle = 0;
    }
    decode_finish();
    return handle;
}

void decode_finish() {
    decode_context* context = decode_context_current();
    if (context->decoder != nullptr) context->decoder->close(context);
    context->decoder = nullptr;
    if (context->file != nullptr) std::fclose(context->file);
    context->file = nullptr;
}

} // namespace korvel
