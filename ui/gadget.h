// Numbered gadgets: the controls placed in the calling thread's current gadget list (the window
// opened last). Gadget numbers are global, not per window. Every constructor returns the gadget's
// handle (the identifier for NUMBER_ANY) or 0, frees a gadget already living under the number
// first, and works only on the user-interface thread. Operations on a number that holds no gadget
// do nothing and return 0.
#pragma once

#include "image/bitmap.h"
#include "runtime/object_table.h"

#include <cstdint>

namespace korvel {

// Gadget kinds, as gadget_kind reports them.
inline constexpr std::int32_t GADGET_BUTTON = 1;
inline constexpr std::int32_t GADGET_STRING = 2;
inline constexpr std::int32_t GADGET_TEXT = 3;
inline constexpr std::int32_t GADGET_CHECKBOX = 4;
inline constexpr std::int32_t GADGET_FRAME = 7;
inline constexpr std::int32_t GADGET_HYPERLINK = 10;
inline constexpr std::int32_t GADGET_IMAGE_BUTTON = 19;

// Image button: a push button that stays down after a click and comes up at the next.
inline constexpr std::uint32_t BUTTON_TOGGLE = 0x1003;
// Check box: a third, undetermined state (state -1).
inline constexpr std::uint32_t CHECKBOX_THREE_STATE = 0x6;
// Hyperlink: the text is underlined.
inline constexpr std::uint32_t HYPERLINK_UNDERLINE = 0x2;

// Image button attributes; the value is an image handle, or 0 for none.
inline constexpr std::int32_t ATTRIBUTE_IMAGE = 1;
inline constexpr std::int32_t ATTRIBUTE_PRESSED_IMAGE = 2;

obj_number gadget_text(obj_number n, std::int32_t x, std::int32_t y, std::int32_t width,
                       std::int32_t height, const char16_t* text);
obj_number gadget_string(obj_number n, std::int32_t x, std::int32_t y, std::int32_t width,
                         std::int32_t height, const char16_t* text);
obj_number gadget_button(obj_number n, std::int32_t x, std::int32_t y, std::int32_t width,
                         std::int32_t height, const char16_t* text);
obj_number gadget_frame(obj_number n, std::int32_t x, std::int32_t y, std::int32_t width,
                        std::int32_t height, const char16_t* caption);
obj_number gadget_checkbox(obj_number n, std::int32_t x, std::int32_t y, std::int32_t width,
                           std::int32_t height, const char16_t* text, std::uint32_t flags = 0);
// The image becomes ATTRIBUTE_IMAGE; it is copied, so the image may be freed afterwards.
obj_number gadget_image_button(obj_number n, std::int32_t x, std::int32_t y, std::int32_t width,
                               std::int32_t height, image_handle_t image, std::uint32_t flags);
// Drawn in black, and in hover_colour (0x00BBGGRR) while the pointer is over it.
obj_number gadget_hyperlink(obj_number n, std::int32_t x, std::int32_t y, std::int32_t width,
                            std::int32_t height, const char16_t* text, std::uint32_t hover_colour,
                            std::uint32_t flags = 0);

// Frees the gadget and its control.
void gadget_free(obj_number n);
// The gadget's kind (GADGET_*), 0 if none.
std::int32_t gadget_kind(obj_number n);

// The next five may be called from any thread; they are carried out on the user-interface thread
// and produce no event.

// The control's current text, written at the result position of the calling thread's workspace
// ("" for a missing gadget).
const char16_t* gadget_get_text(obj_number n, std::int32_t at);
// Replaces the control's text (null counts as "").
void gadget_set_text(obj_number n, const char16_t* text);
// Image button and check box: 1 pressed or checked, 0 not, -1 the third state; other kinds 0.
std::int32_t gadget_get_state(obj_number n);
// Image button: non-zero presses, 0 releases. Check box: 0 clears, -1 gives the third state of a
// three-state box, any other value checks.
void gadget_set_state(obj_number n, std::int32_t state);
// Image button: ATTRIBUTE_IMAGE or ATTRIBUTE_PRESSED_IMAGE; the button is redrawn at once.
void gadget_set_attribute(obj_number n, std::int32_t attribute, std::intptr_t value);

} // namespace korvel
