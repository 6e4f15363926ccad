// Numbered top-level windows.
#pragma once

#include "runtime/object_table.h"

#include <cstdint>

namespace korvel {

// Toolkit flags of window_open.
inline constexpr std::uint32_t WINDOW_SCREEN_CENTERED = 0x1;
inline constexpr std::uint32_t WINDOW_PARENT_CENTERED = 0x2;
inline constexpr std::uint32_t WINDOW_TOOL = 0x4;
inline constexpr std::uint32_t WINDOW_KEEP_GADGET_LIST = 0x8;
inline constexpr std::uint32_t WINDOW_MAXIMIZED = 0x1000000;
inline constexpr std::uint32_t WINDOW_INVISIBLE = 0x10000000;
inline constexpr std::uint32_t WINDOW_MINIMIZED = 0x20000000;

// Style bits, as the program writes them.
inline constexpr std::uint32_t WS_CAPTION = 0xC00000;
inline constexpr std::uint32_t WS_SYSMENU = 0x80000;
inline constexpr std::uint32_t WS_THICKFRAME = 0x40000;
inline constexpr std::uint32_t WS_MINIMIZEBOX = 0x20000;
inline constexpr std::uint32_t WS_MAXIMIZEBOX = 0x10000;

// Opens and shows a window whose client area is exactly width by height pixels and makes it the
// calling thread's current gadget list (unless WINDOW_KEEP_GADGET_LIST). Without WS_THICKFRAME the
// window cannot be resized. With WINDOW_SCREEN_CENTERED x and y are ignored. A window already
// living under the number is closed first. Returns the window's handle (the identifier for
// NUMBER_ANY), or 0 on failure or when called on another thread than the user-interface thread.
obj_number window_open(obj_number n, std::int32_t x, std::int32_t y, std::int32_t width,
                       std::int32_t height, const char16_t* title, std::uint32_t flags);

// Closes the window with its gadgets and status bars.
void window_close(obj_number n);

// The window's handle, as status bars take it; 0 if none.
obj_number window_handle(obj_number n);

// Sets the title bar text; callable from any thread. 0 for a missing window or text.
std::int32_t window_set_title(obj_number n, const char16_t* title);

} // namespace korvel
