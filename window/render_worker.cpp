// The render worker: the program's second thread. It sleeps on the render flag and runs a render
// job whenever the event loop sets it, reading its inputs live from the main window's gadgets and
// reporting through the window, the status bar and requesters.
#include "window/render_worker.h"

#include "engine/render_job.h"
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

// The job file's texts, kept for the length of a job.
struct window_job {
    std::u16string total, width, height;
};

std::u16string read_pref(const char16_t* key) {
    const std::int32_t at = ws_position();
    std::u16string value(pref_read_string(key, u"", at));
    ws_restore(at);
    return value;
}

void button_up() {
    gadget_set_state(GADGET_START, 0);
    gadget_set_attribute(GADGET_START, ATTRIBUTE_IMAGE, image_handle(IMAGE_BUTTON_UP));
}

void fail(void*, const char16_t* title, const char16_t* text, const char*) {
    request_message(title, text, MESSAGE_OK);
    button_up();
}

std::int32_t open_job(void* state, render_totals* totals) {
    if (!pref_open(JOB_FILE_NAME)) {
        pref_close();
        fail(state, JOB_TITLE_ERROR, u"Unable to open a temporary file.", "");
        return 0;
    }
    auto* texts = static_cast<window_job*>(state);
    pref_group(u"Image Count");
    texts->total = read_pref(u"Total Images");
    pref_group(u"Resolution");
    texts->width = read_pref(u"Width");
    texts->height = read_pref(u"Height");
    *totals = {texts->total.c_str(), texts->width.c_str(), texts->height.c_str()};
    return 1;
}

void record_name(void*, std::int64_t key, const char16_t* name) {
    const std::int32_t at = ws_position();
    str_from_int(key, at);
    ws_finish();
    pref_group(u"File Names");
    pref_write_string(ws_text(at), name);
    ws_restore(at);
}

void close_job(void*) {
    pref_close();
}

void every_frame(void*, std::int32_t* first, std::int32_t* last) {
    *first = 1;
    *last = std::numeric_limits<std::int32_t>::max();
}

const char16_t* input_folder(void*, std::int32_t at) {
    return gadget_get_text(GADGET_INPUT_FOLDER, at);
}

const char16_t* output_folder(void*, std::int32_t at) {
    return gadget_get_text(GADGET_OUTPUT_FOLDER, at);
}

std::int64_t gadget_number(obj_number gadget) {
    const std::int32_t at = ws_position();
    gadget_get_text(gadget, at);
    const std::int64_t value = str_to_int(ws_text(at));
    ws_restore(at);
    return value;
}

std::int64_t layers_per_frame(void*) {
    return gadget_number(GADGET_LAYERS);
}
std::int64_t alpha_levels(void*) {
    return gadget_number(GADGET_ALPHA);
}
std::int32_t reverse(void*) {
    return gadget_get_state(GADGET_REVERSE) != 0;
}
std::int32_t cancel_requested(void*) {
    return gadget_get_state(GADGET_START) == 0;
}

std::int32_t confirm_cancel(void*) {
    if (request_message(u"Quit?", u"Are you sure you want to quit?.", MESSAGE_YES_NO) ==
        ANSWER_YES) {
        gadget_set_attribute(GADGET_START, ATTRIBUTE_IMAGE, image_handle(IMAGE_BUTTON_UP));
        return 1;
    }
    gadget_set_state(GADGET_START, 1);
    gadget_set_attribute(GADGET_START, ATTRIBUTE_PRESSED_IMAGE, image_handle(IMAGE_BUTTON_DOWN));
    return 0;
}

// Told from the saver's threads, which have no string workspace of their own.
void frame_saved(void*, std::int32_t, std::int32_t percent, const char16_t*) {
    statusbar_set_progress(STATUS_BAR, 1, percent);
    std::u16string title = std::u16string(WINDOW_TITLE) + u" - ";
    for (const char digit : std::to_string(percent))
        title += static_cast<char16_t>(digit);
    window_set_title(MAIN_WINDOW, (title + u"%").c_str());
}

// A job that ended by failure or cancel has left the button up: only a job that ran to its end
// finds it down and announces completion.
void job_end(void*, std::int32_t) {
    if (gadget_get_state(GADGET_START) != 1) return;
    button_up();
    request_message(u"Korvel", u"Motion blur render completed!.", MESSAGE_OK);
}

const render_host_ops window_host_ops = {
    .open_job = open_job,
    .record_name = record_name,
    .close_job = close_job,
    .frame_range = every_frame,
    .input_folder = input_folder,
    .output_folder = output_folder,
    .layers_per_frame = layers_per_frame,
    .alpha_levels = alpha_levels,
    .reverse = reverse,
    .cancel_requested = cancel_requested,
    .confirm_cancel = confirm_cancel,
    .fail = fail,
    .frame_saved = frame_saved,
    .job_end = job_end,
    .media = nullptr, // folders only
};

void run_window_job() {
    window_job texts;
    const render_host host{&window_host_ops, &texts};
    render_job_run(&host);
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
