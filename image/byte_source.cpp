// Bounded reads of encoded image bytes from memory or from a file.
#include "image/byte_source.h"

#include <cstring>
#include <sys/types.h>

namespace korvel {

byte_source memory_source(const std::uint8_t* data, std::size_t length) {
    return {data, nullptr, data == nullptr ? 0 : length};
}

byte_source file_source(std::FILE* file) {
    byte_source source{nullptr, file, 0};
    if (std::fseek(file, 0, SEEK_END) == 0) {
        off_t end = ftello(file);
        if (end > 0) source.length = static_cast<std::uint64_t>(end);
    }
    return source;
}

bool source_holds(const byte_source& source, std::uint64_t offset, std::uint64_t count) {
    return offset <= source.length && count <= source.length - offset;
}

bool source_read(const byte_source& source, std::uint64_t offset, void* dest, std::size_t count) {
    if (!source_holds(source, offset, count)) return false;
    if (source.memory != nullptr) {
        if (count != 0) std::memcpy(dest, source.memory + offset, count);
        return true;
    }
    if (source.file == nullptr) return false;
    if (fseeko(source.file, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
    return std::fread(dest, 1, count, source.file) == count;
}

} // namespace korvel
