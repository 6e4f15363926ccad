// The Qt window flags that stand for a window's style bits.
#include "ui/window_flags.h"

#include "ui/window.h"

namespace korvel {
namespace {

constexpr std::uint32_t toolkit_bits =
    WINDOW_SCREEN_CENTERED | WINDOW_PARENT_CENTERED | WINDOW_KEEP_GADGET_LIST | WINDOW_INVISIBLE;

bool has(std::uint32_t flags, std::uint32_t bits) {
    return (flags & bits) == bits;
}

} // namespace

Qt::WindowFlags qt_window_flags(std::uint32_t flags) {
    if ((flags & ~toolkit_bits) == 0) flags |= WS_CAPTION;
    Qt::WindowFlags result = Qt::CustomizeWindowHint;
    result |= (flags & WINDOW_TOOL) ? Qt::Tool : Qt::Window;
    if (!has(flags, WS_CAPTION)) return result | Qt::FramelessWindowHint;
    result |= Qt::WindowTitleHint;
    if (has(flags, WS_SYSMENU)) result |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (flags & WINDOW_TOOL) return result;
    if (has(flags, WS_MINIMIZEBOX)) result |= Qt::WindowMinimizeButtonHint;
    if (has(flags, WS_MAXIMIZEBOX)) result |= Qt::WindowMaximizeButtonHint;
    return result;
}

bool window_resizable(std::uint32_t flags) {
    return has(flags, WS_THICKFRAME);
}

} // namespace korvel
