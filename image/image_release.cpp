// Freeing an image completely.
#include "image/image_release.h"

#include "image/image.h"

namespace korvel {

void image_free_completely(obj_number n) {
    image_free(n);
    while (image_is_valid(n) > 0)
        image_free(n);
}

} // namespace korvel
