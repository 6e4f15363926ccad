// The render worker: the program's second thread. It sleeps on the render flag and runs a render
// job whenever the event loop sets it, reading its inputs live from the main window's gadgets and
// reporting through the window, the status bar and requesters.
#include "window/render_worker.h"

#include "engine/folder_source.h"
#include "engine/frame_blender.h"
#include "engine/job_messages.h"
#include "engine/layer_opacity.h"
#include "engine/live_control.h"
#include "engine/png_sink.h"
#include "engine/render_run.h"
#include "image/image.h"
#include "runtime/prefs.h"
#include "runtime/strings.h"
#include "runtime/threads.h"
#include "ui/gadget.h"
#include "ui/requester.h"
#include "ui/statusbar.h"
#include "ui/window.h"
#include "window/program_state.h"

#include <limits>
#include <string>

namespace korvel {

namespace {

std::u16string read_pref(const char16_t* key) {
    const std::int32_t at = ws_position();
    std::u16string value(pref_read_string(key, u"", at));
    ws_restore(at);
    return value;
}

std::u16string gadget_text(obj_number gadget) {
    const std::int32_t at = ws_position();
    std::u16string text(gadget_get_text(gadget, at));
    ws_restore(at);
    return text;
}

// A field's number as str_to_int reads it: 0 when it holds none.
std::int64_t gadget_number(obj_number gadget) {
    return str_to_int(gadget_text(gadget).c_str());
}

void button_up() {
    gadget_set_state(GADGET_START, 0);
    gadget_set_attribute(GADGET_START, ATTRIBUTE_IMAGE, image_handle(IMAGE_BUTTON_UP));
}

// The fields as the render reads them, and the job file it records each batch in.
class window_fields final : public live_fields {
public:
    std::u16string input_folder() override { return gadget_text(GADGET_INPUT_FOLDER); }
    std::u16string output_folder() override { return gadget_text(GADGET_OUTPUT_FOLDER); }
    std::int64_t layers() override { return gadget_number(GADGET_LAYERS); }
    std::int64_t alpha_levels() override { return gadget_number(GADGET_ALPHA); }
    bool reverse() override { return gadget_get_state(GADGET_REVERSE) != 0; }
    bool cancel_requested() override { return gadget_get_state(GADGET_START) == 0; }

    bool confirm_cancel() override {
        if (request_message(u"Quit?", u"Are you sure you want to quit?.", MESSAGE_YES_NO) ==
            ANSWER_YES) {
            gadget_set_attribute(GADGET_START, ATTRIBUTE_IMAGE, image_handle(IMAGE_BUTTON_UP));
            return true;
        }
        gadget_set_state(GADGET_START, 1);
        gadget_set_attribute(GADGET_START, ATTRIBUTE_PRESSED_IMAGE,
                             image_handle(IMAGE_BUTTON_DOWN));
        return false;
    }

    void record_name(std::int64_t key, const std::u16string& name) override {
        pref_group(u"File Names");
        pref_write_string(str_decimal(key).c_str(), name.c_str());
    }
};

// Failures in requesters; progress in the status bar and the title, from L as it is when the
// frame is handed over.
class window_report final : public render_report {
public:
    explicit window_report(std::int64_t total) : total_(total) {}

    void failed(const char16_t* title, const std::u16string& text, const char*) override {
        request_message(title, text.c_str(), MESSAGE_OK);
        button_up();
    }

    // Told from the saver's threads, which have no string workspace of their own. Nothing when
    // L is no longer valid, which ends the render after this frame.
    frame_named handed_over(std::int32_t frame, const std::u16string&) override {
        const std::int64_t layers = gadget_number(GADGET_LAYERS);
        if (layers < 1) return {};
        const std::int32_t percent = job_progress(total_, layers, frame);
        return [percent] {
            statusbar_set_progress(STATUS_BAR, 1, percent);
            std::u16string title = std::u16string(WINDOW_TITLE) + u" - ";
            for (const char digit : std::to_string(percent))
                title += static_cast<char16_t>(digit);
            window_set_title(MAIN_WINDOW, (title + u"%").c_str());
        };
    }

private:
    std::int64_t total_;
};

// The job file's size as a canvas side: 0 (no canvas) when it is none.
std::int32_t canvas_side(const std::u16string& text) {
    const std::int64_t side = str_to_int(text.c_str());
    return side >= 1 && side <= std::numeric_limits<std::int32_t>::max()
               ? static_cast<std::int32_t>(side)
               : 0;
}

// The render from the job file's count and resolution, which the input scan wrote, over the
// folder as it is listed now.
void render_from_job_file(const std::u16string& folder, const folder_scan& listing) {
    pref_group(u"Image Count");
    const std::u16string total = read_pref(u"Total Images");
    pref_group(u"Resolution");
    const std::int32_t width = canvas_side(read_pref(u"Width"));
    const std::int32_t height = canvas_side(read_pref(u"Height"));
    const std::int64_t count = str_to_int(total.c_str());
    folder_source source(folder, listing);
    png_sink sink(gadget_text(GADGET_OUTPUT_FOLDER), str_len(total.c_str()), {});
    window_fields fields;
    live_control control(fields, source, sink, count);
    window_report report(count);
    render_run({&source, &sink, &control, &report, width, height}, stack_blend, work_cursor());
}

// A render that ended by failure or cancel has left the button up: only one that ran to its end
// finds it down and announces completion.
void run_window_job() {
    const std::u16string folder = gadget_text(GADGET_INPUT_FOLDER);
    const folder_scan listing = scan_folder(folder, false);
    if (!pref_open(JOB_FILE_NAME)) {
        pref_close();
        request_message(JOB_TITLE_ERROR, u"Unable to open a temporary file.", MESSAGE_OK);
        button_up();
        return;
    }
    render_from_job_file(folder, listing);
    pref_close();
    if (gadget_get_state(GADGET_START) != 1) return;
    button_up();
    request_message(u"Korvel", u"Motion blur render completed!.", MESSAGE_OK);
}

} // namespace

std::uint32_t render_worker(std::uint32_t) {
    strings_thread_init();
    for (;;) {
        // Asleep until the event loop asks for a job, so that an idle window costs nothing.
        program.render_flag.wait(0);
        if (program.render_flag.load() != 1) continue;
        run_window_job();
        program.render_flag.store(0);
        window_set_title(MAIN_WINDOW, WINDOW_TITLE);
    }
}

} // namespace korvel
