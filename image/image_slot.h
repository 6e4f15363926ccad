// Taking and filling image numbers, shared by every operation that makes an image (create, load,
// catch), so that each one frees the old image first and leaves the number empty on failure.
#pragma once

#include "image/image.h"

namespace korvel {

// The record to fill for number n; an image that lived there is freed first. Null when the
// table cannot give one (a negative number other than NUMBER_ANY, memory exhausted).
image_record* image_slot_take(obj_number n);

// Stores handle's size and depth with source_depth in the record taken for n and returns the
// handle (the identifier for NUMBER_ANY). A handle of 0 leaves the number empty and returns 0.
obj_number image_slot_fill(obj_number n, image_record* record, image_handle_t handle,
                           std::int32_t source_depth);

} // namespace korvel
