// Images for drawing in widgets: the pixels behind an image handle as a QImage.
#pragma once

#include "image/bitmap.h"

#include <QImage>

namespace korvel {

// A top-down copy of the bitmap or icon behind the handle, or a null QImage when the handle names
// nothing drawable. 32-bit pixels (straight alpha) are premultiplied the way the alpha blending
// of gadget images expects: each colour c of a pixel with alpha a below 255 becomes (c * a) >> 8.
QImage image_copy(image_handle_t handle);

} // namespace korvel
