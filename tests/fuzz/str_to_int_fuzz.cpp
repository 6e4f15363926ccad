// Fuzz target: any UTF-16 text read as a whole number. Whatever the text, the number read must
// come back unchanged from its own decimal form.
#include "runtime/strings.h"

#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    korvel::strings_init();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<char16_t> text(size / 2 + 1, 0);
    std::memcpy(text.data(), data, size / 2 * 2);
    const std::int64_t value = korvel::str_to_int(text.data());

    const std::int32_t at = korvel::ws_position();
    if (korvel::str_to_int(korvel::str_from_int(value, at)) != value) std::abort();
    korvel::ws_restore(at);
    return 0;
}
