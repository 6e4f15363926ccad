// The process-wide registry of pixel owners: handles are looked up under a lock, so a stale or
// invented handle is answered with null instead of being dereferenced.
#include "image/bitmap.h"

#include "image/pixel_budget.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>

namespace korvel {
namespace {

constexpr std::int32_t max_side = 32767;

struct handle_registry {
    std::mutex lock;
    std::unordered_map<image_handle_t, bitmap*> objects;
    // The next handle to hand out; 0 once every 32-bit value has been used, so that a retired
    // handle is never given out again.
    image_handle_t next = 1;
};

// Never destroyed: images may still be freed by other static destructors at exit.
handle_registry& registry() {
    static auto* instance = new handle_registry;
    return *instance;
}

// The object behind handle, or null; the caller holds the lock.
bitmap* find_locked(handle_registry& r, image_handle_t handle) {
    auto found = r.objects.find(handle);
    return found == r.objects.end() ? nullptr : found->second;
}

bool side_in_range(std::int32_t side) {
    return side >= 1 && side <= max_side;
}

void destroy(bitmap* object) {
    std::free(object->pixels);
    std::free(object->icon_pixels);
    delete object;
}

// Gives the object a handle, or destroys it and returns 0 when no handle or memory is left.
image_handle_t enter(bitmap* object) {
    handle_registry& r = registry();
    std::lock_guard guard(r.lock);
    if (r.next != 0) {
        try {
            image_handle_t handle = r.next;
            r.objects.emplace(handle, object);
            ++r.next;
            return handle;
        } catch (const std::bad_alloc&) {}
    }
    destroy(object);
    return 0;
}

} // namespace

image_handle_t bitmap_create_exact(std::int32_t width, std::int32_t height, std::int32_t depth) {
    if (!side_in_range(width) || !side_in_range(height)) return 0;
    if (depth != 16 && depth != 24 && depth != 32) return 0;
    std::int32_t stride = row_bytes(width, depth);
    if (!pixel_memory_allowed(stride, height)) return 0;
    auto* pixels = static_cast<std::uint8_t*>(
        std::calloc(static_cast<std::size_t>(height), static_cast<std::size_t>(stride)));
    if (pixels == nullptr) return 0;
    auto* object =
        new (std::nothrow) bitmap{OBJ_BITMAP, width, height, depth, stride, pixels, nullptr};
    if (object == nullptr) {
        std::free(pixels);
        return 0;
    }
    return enter(object);
}

image_handle_t bitmap_create(std::int32_t width, std::int32_t height, std::int32_t depth) {
    return bitmap_create_exact(width, height, depth < 24 ? 24 : depth);
}

image_handle_t icon_create(std::int32_t width, std::int32_t height, std::int32_t source_depth,
                           const std::uint8_t* bgra_rows) {
    if (!side_in_range(width) || !side_in_range(height) || bgra_rows == nullptr) return 0;
    if (!pixel_memory_allowed(std::int64_t{width} * 4, height)) return 0;
    std::size_t size = static_cast<std::size_t>(width) * 4 * static_cast<std::size_t>(height);
    auto* copy = static_cast<std::uint8_t*>(std::malloc(size));
    if (copy == nullptr) return 0;
    std::memcpy(copy, bgra_rows, size);
    auto* object =
        new (std::nothrow) bitmap{OBJ_ICON, width, height, source_depth, width * 4, nullptr, copy};
    if (object == nullptr) {
        std::free(copy);
        return 0;
    }
    return enter(object);
}

bitmap* bitmap_get(image_handle_t handle) {
    handle_registry& r = registry();
    std::lock_guard guard(r.lock);
    return find_locked(r, handle);
}

std::int32_t object_type(image_handle_t handle) {
    handle_registry& r = registry();
    std::lock_guard guard(r.lock);
    const bitmap* object = find_locked(r, handle);
    return object == nullptr ? 0 : object->type;
}

void bitmap_delete(image_handle_t handle) {
    bitmap* object = nullptr;
    {
        handle_registry& r = registry();
        std::lock_guard guard(r.lock);
        auto found = r.objects.find(handle);
        if (found == r.objects.end()) return;
        object = found->second;
        r.objects.erase(found);
    }
    // Freed outside the lock: releasing a large block need not hold up other threads' lookups.
    destroy(object);
}

} // namespace korvel
