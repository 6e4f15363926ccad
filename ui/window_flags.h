// The Qt window flags that stand for a window's style bits.
#pragma once

#include <QtCore/qnamespace.h>

#include <cstdint>

namespace korvel {

// Flags that hold none but the toolkit's own bits get a title bar. Without WS_CAPTION the window
// has no frame; WS_SYSMENU gives the close button, WS_MINIMIZEBOX and WS_MAXIMIZEBOX their
// buttons; WINDOW_TOOL makes a tool window without them.
Qt::WindowFlags qt_window_flags(std::uint32_t flags);

// Only a window with WS_THICKFRAME can be resized by the user.
bool window_resizable(std::uint32_t flags);

} // namespace korvel
