// Start-up and shutdown of the window program.
#include "window/startup.h"

#include "engine/engine_runtime.h"
#include "engine/render_run.h"
#include "image/codec.h"
#include "image/image.h"
#include "runtime/files.h"
#include "runtime/prefs.h"
#include "runtime/threads.h"
#include "ui/desktop.h"
#include "ui/requester.h"
#include "ui/toolkit.h"
#include "window/job_folder_claim.h"
#include "window/main_window.h"
#include "window/program_state.h"
#include "window/render_worker.h"
#include "window/resources.h"

#include <cstdio>
#include <unistd.h>

namespace korvel {

namespace {

// The render engine's subsystems, then the toolkit's.
void initialise_runtime() {
    engine_runtime_start();
    events_init();
    windows_init();
    gadgets_init();
    prefs_init();
    controls_init();
    statusbars_init();
}

void catch_button_images() {
    const embedded_file up = resource_button_up();
    const embedded_file down = resource_button_down();
    image_catch(IMAGE_BUTTON_UP, up.data, up.size);
    image_catch(IMAGE_BUTTON_DOWN, down.data, down.size);
}

// The window icon is made from the embedded pinwheels; the images are only needed while the
// toolkit copies them.
void set_application_icon() {
    image_handle_t handles[RESOURCE_ICON_COUNT] = {};
    obj_number images[RESOURCE_ICON_COUNT] = {};
    for (int i = 0; i < RESOURCE_ICON_COUNT; ++i) {
        const embedded_file icon = resource_icon(i);
        images[i] = image_catch(NUMBER_ANY, icon.data, icon.size);
        handles[i] = images[i] ? image_handle(images[i]) : 0;
    }
    desktop_set_icon(handles, RESOURCE_ICON_COUNT);
    for (obj_number image : images)
        image_free(image);
}

// The finalisers. While a render job runs, its canvas and layer are in use on the worker
// thread, so the images stay for the process exit to reclaim instead of being freed under it; the
// frames it handed over for saving are completed first, once the toolkit no longer takes the calls
// that would tell of them.
void run_finalisers() {
    threads_end();
    prefs_end();
    gadgets_end();
    windows_end();
    render_abandon();
    files_end();
    if (program.render_flag.load() == 0) images_end();
}

[[noreturn]] void end_process(int status) {
    std::fflush(nullptr);
    _exit(status);
}

// Serves the window; the job file that the session made goes with it.
void serve_window() {
    main_window_run();
    file_delete(JOB_FILE_NAME);
}

// The job file there belongs to the program that holds the folder, so it is left alone.
void refuse_taken_folder() {
    request_message(u"Error!", FOLDER_TAKEN, MESSAGE_OK);
}

} // namespace

void korvel_run() {
    const bool folder_claimed = job_folder_claim() != 0;
    initialise_runtime();
    thread_create(render_worker, 0);
    catch_button_images();
    set_application_icon();
    if (main_window_build()) {
        if (folder_claimed)
            serve_window();
        else
            refuse_taken_folder();
        image_free(IMAGE_BUTTON_UP);
        image_free(IMAGE_BUTTON_DOWN);
    }
    run_finalisers();
    end_process(folder_claimed ? 0 : 1);
}

} // namespace korvel
