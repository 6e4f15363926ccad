// What the toolkit's tests share: the toolkit started on Qt's offscreen platform with a window
// built like the tool's main window, the events it queues, and a second thread that calls the
// toolkit as the render worker does.
#pragma once

#include "image/bitmap.h"
#include "runtime/object_table.h"
#include "ui/toolkit.h"

#include <gtest/gtest.h>

#include <QString>

#include <atomic>
#include <functional>
#include <thread>

class QWidget;

namespace korvel {

// The gadgets of the window, made in this order (the link among them), and its status bar.
inline constexpr obj_number INPUT = 2, INPUT_BUTTON = 3, OUTPUT = 5, OUTPUT_BUTTON = 6, LAYERS = 8,
                            START = 9, BAR = 10, ALPHA = 16, LINK = 19, REVERSE = 22;

class toolkit_test : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override {
        gadgets_end();
        windows_end();
    }
};

// Lets Qt deliver what is pending, then empties the event queue: each gadget event's gadget, type.
std::vector<obj_number> take_events();

// Processes events (or only waits) until done() holds or about five seconds have passed.
bool serve_until(const std::function<bool()>& done, bool serving = true);

// Runs work on a thread of its own with its own string workspace, as the render worker does.
struct second_thread {
    explicit second_thread(std::function<void()> work);
    std::atomic<bool> done{false};
    std::jthread thread;
};

// A 32-bit bitmap of one colour 0xAARRGGBB; the caller deletes it.
image_handle_t solid_bitmap(std::int32_t width, std::int32_t height, std::uint32_t colour);

QWidget* control_of(obj_number gadget);
QWidget* main_window();
QString text_of(obj_number gadget); // by gadget_get_text

} // namespace korvel
