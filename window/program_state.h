// What the program's threads share: the render flag, and what the last input scan found.
#pragma once

#include "runtime/object_table.h"
#include "runtime/strings.h"

#include <atomic>
#include <cstdint>

namespace korvel {

inline constexpr char16_t JOB_FILE_NAME[] = u"Korvel Temp.tmp";
inline constexpr char16_t WINDOW_TITLE[] = u"Korvel v0.8";
inline constexpr char16_t MAKER_ADDRESS[] = u"https://korvel.example.org/";

// Numbered objects of the program.
inline constexpr obj_number MAIN_WINDOW = 0;
inline constexpr obj_number STATUS_BAR = 10;
inline constexpr obj_number IMAGE_BUTTON_UP = 1;
inline constexpr obj_number IMAGE_BUTTON_DOWN = 2;
inline constexpr obj_number JOB_FILE_TEST = 0;

// Gadgets of the main window.
inline constexpr obj_number GADGET_INPUT_LABEL = 1;
inline constexpr obj_number GADGET_INPUT_FOLDER = 2;
inline constexpr obj_number GADGET_INPUT_CHOOSE = 3;
inline constexpr obj_number GADGET_OUTPUT_LABEL = 4;
inline constexpr obj_number GADGET_OUTPUT_FOLDER = 5;
inline constexpr obj_number GADGET_OUTPUT_CHOOSE = 6;
inline constexpr obj_number GADGET_LAYERS_FRAME = 7;
inline constexpr obj_number GADGET_LAYERS = 8;
inline constexpr obj_number GADGET_START = 9;
inline constexpr obj_number GADGET_ALPHA_FRAME = 15;
inline constexpr obj_number GADGET_ALPHA = 16;
inline constexpr obj_number GADGET_MAKER_LINK = 19;
inline constexpr obj_number GADGET_REVERSE = 22;

struct program_state {
    // 1 while a render job is requested or running. The event loop writes 1 to start a job (0
    // when it refuses one) and wakes the render worker, which sleeps on it; the worker writes 0
    // when a job is over.
    std::atomic<std::int32_t> render_flag;
    // Results of the last input scan (user-interface thread only).
    str input_folder;
    std::int32_t image_count;
    std::int32_t probe_width;
    std::int32_t probe_height;
};

// Zero at start, as start-up requires.
extern program_state program;

} // namespace korvel
