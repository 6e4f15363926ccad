// errno texts from glibc's fixed table.
#include "runtime/error_text.h"

#include <cstring>

namespace korvel {

const char* error_text(int error) {
    const char* text = error ? strerrordesc_np(error) : nullptr;
    return text ? text : "";
}

} // namespace korvel
