// The image table and the operations on numbered images: create, free and the queries.
#include "image/image.h"
#include "image/image_slot.h"

#include <cstddef>

namespace korvel {
namespace {

constexpr std::int32_t initial_numbers = 16;

// Created on first use as well as by images_init, so that an image operation before start-up
// finds an empty table instead of none.
obj_table* image_table() {
    static obj_table* table = table_create(sizeof(image_record), initial_numbers, image_free);
    return table;
}

// Opaque black: the alpha byte of every pixel 255, the colour bytes left at 0.
void paint_opaque_black(bitmap* object) {
    for (std::int32_t row = 0; row < object->height; ++row) {
        std::uint8_t* pixel = object->pixels + static_cast<std::size_t>(row) * object->stride;
        for (std::int32_t x = 0; x < object->width; ++x)
            pixel[x * 4 + 3] = 0xFF;
    }
}

} // namespace

void images_init() {
    image_table();
}

void images_end() {
    if (obj_table* table = image_table()) table_free_all(table);
}

image_record* image_slot_take(obj_number n) {
    obj_table* table = image_table();
    return table == nullptr ? nullptr : static_cast<image_record*>(obj_new(table, n));
}

obj_number image_slot_fill(obj_number n, image_record* record, image_handle_t handle,
                           std::int32_t source_depth) {
    const bitmap* object = bitmap_get(handle);
    if (object == nullptr) {
        // A separate object made for NUMBER_ANY would otherwise stay behind, empty.
        if (n == NUMBER_ANY) obj_clear(image_table(), reinterpret_cast<obj_number>(record));
        return 0;
    }
    record->handle = handle;
    record->width = static_cast<std::int16_t>(object->width);
    record->height = static_cast<std::int16_t>(object->height);
    record->depth = static_cast<std::uint8_t>(object->depth);
    record->source_depth = static_cast<std::uint8_t>(source_depth);
    return n == NUMBER_ANY ? reinterpret_cast<obj_number>(record) : static_cast<obj_number>(handle);
}

obj_number image_create(obj_number n, std::int32_t width, std::int32_t height,
                        std::uint32_t depth_and_flags) {
    bool transparent = (depth_and_flags & IMAGE_TRANSPARENT) != 0;
    std::uint32_t depth = depth_and_flags & ~IMAGE_TRANSPARENT;
    image_record* record = image_slot_take(n);
    if (record == nullptr) return 0;
    image_handle_t handle = 0;
    if (depth <= 32) handle = bitmap_create(width, height, static_cast<std::int32_t>(depth));
    bitmap* object = bitmap_get(handle);
    // A new bitmap is all zero bytes: transparent at 32 bits, black at 24.
    if (object != nullptr && object->depth == 32 && !transparent) paint_opaque_black(object);
    return image_slot_fill(n, record, handle, object == nullptr ? 0 : object->depth);
}

void image_free(obj_number n) {
    bitmap_delete(image_detach(n));
}

obj_number image_adopt(obj_number n, image_handle_t handle, std::int32_t source_depth) {
    image_record* record = image_slot_take(n);
    if (record == nullptr) {
        bitmap_delete(handle);
        return 0;
    }
    return image_slot_fill(n, record, handle, source_depth);
}

image_handle_t image_detach(obj_number n) {
    if (n == NUMBER_ANY) return 0;
    const image_record* record = image_lookup(n);
    if (record == nullptr) return 0;
    const image_handle_t handle = record->handle;
    obj_clear(image_table(), n);
    return handle;
}

obj_number image_is_valid(obj_number n) {
    return image_lookup(n) != nullptr ? 1 : 0;
}

image_handle_t image_handle(obj_number n) {
    const image_record* record = image_lookup(n);
    return record == nullptr ? 0 : record->handle;
}

std::int32_t image_width(obj_number n) {
    const image_record* record = image_lookup(n);
    return record == nullptr ? 0 : record->width;
}

std::int32_t image_height(obj_number n) {
    const image_record* record = image_lookup(n);
    return record == nullptr ? 0 : record->height;
}

image_record* image_lookup(obj_number n) {
    obj_table* table = image_table();
    return table == nullptr ? nullptr : static_cast<image_record*>(obj_lookup(table, n));
}

} // namespace korvel
