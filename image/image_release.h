// Freeing an image the way the whole program does it.
#pragma once

#include "runtime/object_table.h"

namespace korvel {

// image_free once, then again while the number still holds an image.
void image_free_completely(obj_number n);

} // namespace korvel
