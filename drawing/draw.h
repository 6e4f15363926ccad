// Drawing sessions: a thread turns an image into a drawing target, opens a session on it, chooses
// how pixels combine and draws other images onto it. All state is per thread: the drawing
// operations act on the calling thread's current session.
#pragma once

#include "image/bitmap.h"
#include "runtime/object_table.h"

#include <cstdint>

namespace korvel {

// Mode bits of draw_mode; 0 is the default.
inline constexpr std::uint32_t MODE_TEXT_TRANSPARENT = 0x01;
inline constexpr std::uint32_t MODE_XOR_COLOUR = 0x02;
inline constexpr std::uint32_t MODE_OUTLINED = 0x04;
inline constexpr std::uint32_t MODE_WRITE_ALPHA_ONLY = 0x08;
inline constexpr std::uint32_t MODE_OVER = 0x10;
inline constexpr std::uint32_t MODE_OVER_KEEP_ALPHA = 0x20;
inline constexpr std::uint32_t MODE_GRADIENT = 0x40;
inline constexpr std::uint32_t MODE_PIXEL_CALLBACK = 0x80;
inline constexpr std::uint32_t MODE_COPY_WITH_ALPHA = 0x100;

struct draw_state;

void drawing_init();

// A drawing target on image n (a 24- or 32-bit bitmap with pixel memory), made the calling
// thread's current state; a state that was current is ended first. Null for a missing image, an
// icon or a bitmap without pixel memory; the current state is then left as it was.
draw_state* image_output(obj_number n);

// Opens the session on the calling thread's current state; non-zero on success. draw_start(null)
// returns 0 and changes nothing, as does any pointer that is not the current state.
std::intptr_t draw_start(draw_state* output);

// Sets the mode bits. MODE_COPY_WITH_ALPHA clears MODE_WRITE_ALPHA_ONLY, MODE_OVER and
// MODE_OVER_KEEP_ALPHA, and is itself dropped on a 24-bit target. Nothing without a state.
void draw_mode(std::uint32_t mode);

// The calling thread's current mode bits, 0 without a state.
std::uint32_t draw_current_mode();

// Draws image handle's bitmap with its top-left pixel at (x, y) of the target, with a constant
// opacity (clamped into 0..255). Icons and unknown handles draw nothing. Without a state, this and
// the two below do nothing.
void draw_image_alpha(image_handle_t handle, std::int32_t x, std::int32_t y, std::int32_t opacity);
// Draws a bitmap's colour (or an icon, with its alpha) at its own size.
void draw_image(image_handle_t handle, std::int32_t x, std::int32_t y);
// The same scaled to width x height by area averaging; width -1 means the source's own size.
void draw_image_sized(image_handle_t handle, std::int32_t x, std::int32_t y, std::int32_t width,
                      std::int32_t height);

// Ends the calling thread's session; harmless without one.
void draw_stop();

} // namespace korvel
