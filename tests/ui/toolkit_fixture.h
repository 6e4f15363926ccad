// What the toolkit's tests share: a started toolkit on Qt's offscreen platform, a window built
// like the tool's main window, and ways to collect the events it queues.
#pragma once

#include "image/bitmap.h"
#include "runtime/object_table.h"

#include <gtest/gtest.h>

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

class QWidget;

namespace korvel {

struct seen_event {
    std::int32_t code;
    obj_number gadget;
    std::int32_t type;
    obj_number window;
};

// Starts the toolkit (and the string workspace) for each test and ends it afterwards.
class toolkit_test : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// Lets Qt deliver everything pending, then hands out the events window_wait_event returns until
// the queue is empty.
std::vector<seen_event> take_events();
// Only the gadget events among them.
std::vector<seen_event> take_gadget_events();

// Processes events until done() holds or about five seconds have passed; returns done().
bool serve_until(const std::function<bool()>& done);

// Runs work on a thread of its own (with its own string workspace), as the render worker calls the
// toolkit; joined when destroyed.
class second_thread {
public:
    explicit second_thread(std::function<void()> work);
    ~second_thread();
    second_thread(const second_thread&) = delete;
    second_thread& operator=(const second_thread&) = delete;
    bool done() const { return done_; }
    // Serves the calls of the thread until its work is done; false after about five seconds.
    bool serve_until_done();

private:
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// A 32-bit bitmap of one colour, given as the little-endian word of its stored blue, green, red
// and alpha bytes (0xAARRGGBB); the caller deletes it.
image_handle_t solid_bitmap(std::int32_t width, std::int32_t height, std::uint32_t bgra);

// Window 0 with the tool's gadgets in the tool's order and status bar 10. Returns false if any
// part could not be made.
bool build_main_window_like();

// The control of a gadget, the widget of a window.
QWidget* control_of(obj_number gadget);
QWidget* widget_of_window(obj_number window);

// The text gadget_get_text gives, as a QString.
QString gadget_text_of(obj_number gadget);

} // namespace korvel
