// The main window: folders, layers per frame, alpha levels, reverse order and the start button,
// with the event loop that starts renders and runs the input scan.
#include "window/main_window.h"

#include "image/image.h"
#include "runtime/numeric.h"
#include "runtime/strings.h"
#include "ui/desktop.h"
#include "ui/event.h"
#include "ui/gadget.h"
#include "ui/requester.h"
#include "ui/statusbar.h"
#include "ui/window.h"
#include "window/input_scan.h"
#include "window/program_state.h"

namespace korvel {

namespace {

void build_gadgets() {
    gadget_text(GADGET_INPUT_LABEL, 10, 15, 70, 15, u"Input Folder:");
    gadget_string(GADGET_INPUT_FOLDER, 80, 10, 220, 20, u"");
    gadget_button(GADGET_INPUT_CHOOSE, 300, 10, 20, 20, u"...");
    gadget_text(GADGET_OUTPUT_LABEL, 10, 45, 70, 15, u"Output Folder:");
    gadget_string(GADGET_OUTPUT_FOLDER, 80, 40, 220, 20, u"");
    gadget_button(GADGET_OUTPUT_CHOOSE, 300, 40, 20, 20, u"...");
    gadget_frame(GADGET_LAYERS_FRAME, 10, 70, 105, 50, u"Layers per Frame");
    gadget_string(GADGET_LAYERS, 25, 90, 35, 20, u"100");
    gadget_image_button(GADGET_START, 215, 75, 105, 45, image_handle(IMAGE_BUTTON_UP),
                        BUTTON_TOGGLE);
    statusbar_create(STATUS_BAR, window_handle(MAIN_WINDOW));
    statusbar_add_field(165);
    statusbar_add_field(165);
    statusbar_set_text(STATUS_BAR, 0, u"Total Images: 0");
    statusbar_set_progress(STATUS_BAR, 1, 0);
    gadget_frame(GADGET_ALPHA_FRAME, 125, 70, 80, 50, u"Alpha Levels");
    gadget_string(GADGET_ALPHA, 145, 90, 40, 20, u"255");
    gadget_hyperlink(GADGET_MAKER_LINK, 97, 132, 135, 15, MAKER_ADDRESS, rgb(0, 0, 255));
    gadget_checkbox(GADGET_REVERSE, 65, 95, 40, 15, u"Rev.");
    gadget_set_state(GADGET_REVERSE, 0);
}

bool folder_field_empty(obj_number gadget) {
    const std::int32_t at = ws_position();
    gadget_get_text(gadget, at);
    ws_finish();
    return str_equal(ws_result(at), u"") != 0;
}

void choose_output_folder() {
    const std::int32_t at = ws_position();
    request_folder(u"Save images...", u"C:\\", at);
    ws_finish();
    gadget_set_text(GADGET_OUTPUT_FOLDER, ws_text(at));
    ws_restore(at);
}

// The click has already toggled the button: down asks for a render, up leaves the question of
// stopping to the render worker.
void start_button_clicked() {
    if (folder_field_empty(GADGET_INPUT_FOLDER) || folder_field_empty(GADGET_OUTPUT_FOLDER)) {
        request_message(u"WAIT!", u"Please select an Input and Output folder.", MESSAGE_OK);
        program.render_flag.store(0);
        gadget_set_state(GADGET_START, 0);
        return;
    }
    if (gadget_get_state(GADGET_START) != 1) return;
    gadget_set_attribute(GADGET_START, ATTRIBUTE_PRESSED_IMAGE, image_handle(IMAGE_BUTTON_DOWN));
    statusbar_set_progress(STATUS_BAR, 1, 0);
    program.render_flag.store(1);
    program.render_flag.notify_one();
}

void dispatch_gadget(obj_number gadget) {
    switch (gadget) {
    case GADGET_INPUT_CHOOSE:
        input_scan();
        break;
    case GADGET_OUTPUT_CHOOSE:
        choose_output_folder();
        break;
    case GADGET_START:
        start_button_clicked();
        break;
    default:
        break;
    }
}

} // namespace

std::int32_t main_window_build() {
    if (!window_open(MAIN_WINDOW, 0, 0, 330, 180, WINDOW_TITLE,
                     WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WINDOW_SCREEN_CENTERED))
        return 0;
    build_gadgets();
    return 1;
}

void main_window_run() {
    for (;;) {
        const std::int32_t event = window_wait_event();
        if (event == EVENT_GADGET) dispatch_gadget(event_gadget());
        if (event_gadget() == GADGET_MAKER_LINK && event_type() == 0)
            desktop_open_address(MAKER_ADDRESS);
        if (event == EVENT_CLOSE_WINDOW) return;
    }
}

} // namespace korvel
