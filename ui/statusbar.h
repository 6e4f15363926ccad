// Numbered status bars along the bottom edge of a window's client area, with text and progress
// fields. Status bars have their own numbers: status bar 10 and gadget 10 are different objects.
#pragma once

#include "runtime/object_table.h"

#include <cstdint>

namespace korvel {

// A field width that shares the width left over by the fixed fields; also "keep the current
// value" for the progress range.
inline constexpr std::int32_t SIZE_KEEP = -65535;

inline constexpr std::int32_t FIELD_TEXT = 0;
inline constexpr std::int32_t FIELD_PROGRESS = 2;

// Field flags of the setters.
inline constexpr std::uint32_t STATUS_RAISED = 1;
inline constexpr std::uint32_t STATUS_BORDERLESS = 2;
inline constexpr std::uint32_t STATUS_CENTER = 4;
inline constexpr std::uint32_t STATUS_RIGHT = 8;

inline constexpr std::int32_t STATUSBAR_MAX_FIELDS = 256;

// Creates a status bar in the window whose handle window_handle gave, and makes it the calling
// thread's current status bar. User-interface thread only. Returns its handle (the identifier for
// NUMBER_ANY), or 0.
obj_number statusbar_create(obj_number n, obj_number window);

// Appends a text field of that width (pixels or SIZE_KEEP) to the calling thread's current status
// bar; ignored once it has STATUSBAR_MAX_FIELDS fields.
void statusbar_add_field(std::int32_t width);

// Frees the status bar.
void statusbar_free(obj_number n);

// The setters may be called from any thread; they are carried out on the user-interface thread.

// Turns the field into a text field showing the text (null counts as ""); a progress bar it showed
// is hidden.
void statusbar_set_text(obj_number n, std::int32_t field, const char16_t* text,
                        std::uint32_t flags = 0);

// Turns the field into a progress field at value; minimum and maximum replace the range (0 to 100
// when the field was added) unless SIZE_KEEP.
void statusbar_set_progress(obj_number n, std::int32_t field, std::int32_t value,
                            std::int32_t minimum = SIZE_KEEP, std::int32_t maximum = SIZE_KEEP,
                            std::uint32_t flags = 0);

} // namespace korvel
