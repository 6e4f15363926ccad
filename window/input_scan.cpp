// The input scan. While a render job holds the job file, creating it fails and the scan ends at
// once, so it never touches the enumeration the job is walking.
#include "window/input_scan.h"

#include "image/codec.h"
#include "image/image.h"
#include "image/image_release.h"
#include "runtime/directory.h"
#include "runtime/files.h"
#include "runtime/prefs.h"
#include "runtime/strings.h"
#include "ui/gadget.h"
#include "ui/requester.h"
#include "ui/statusbar.h"
#include "window/program_state.h"

namespace korvel {

namespace {

void remove_old_job_file() {
    if (!file_open_read(JOB_FILE_TEST, JOB_FILE_NAME)) return;
    file_close(JOB_FILE_TEST);
    file_delete(JOB_FILE_NAME);
}

void choose_input_folder() {
    const std::int32_t at = ws_position();
    request_folder(u"Load images...", u"C:\\", at);
    str_assign(&program.input_folder, at);
    gadget_set_text(GADGET_INPUT_FOLDER, program.input_folder);
}

// Counts the folder's "*.png" entries, whatever they are, and leaves the last one's name at the
// result position ("" when there is none).
std::int32_t count_entries(std::int32_t at) {
    std::int32_t count = 0;
    dir_examine(INPUT_FOLDER_ENUMERATION, program.input_folder, u"*.png");
    while (dir_next_entry(INPUT_FOLDER_ENUMERATION))
        ++count;
    dir_entry_name(INPUT_FOLDER_ENUMERATION, at);
    return count;
}

void write_number(const char16_t* key, std::int64_t value) {
    const std::int32_t at = ws_position();
    str_from_int(value, at);
    ws_finish();
    pref_write_string(key, ws_text(at));
    ws_restore(at);
}

// Loads the probe entry for the folder's resolution and records it in the job file.
void probe_resolution(const char16_t* name) {
    const std::int32_t at = ws_position();
    str_append(program.input_folder);
    str_append(name);
    ws_finish();
    const obj_number loaded = image_load(IMAGE_PROBE, ws_text(at));
    ws_restore(at);
    if (!loaded) {
        request_message(u"Error!", u"Unable to get the resolution from a ''*.png'' file.",
                        MESSAGE_OK);
        return;
    }
    program.probe_width = image_width(IMAGE_PROBE);
    program.probe_height = image_height(IMAGE_PROBE);
    pref_group(u"Resolution");
    write_number(u"Width", program.probe_width);
    write_number(u"Height", program.probe_height);
    image_free_completely(IMAGE_PROBE);
}

void show_count() {
    const std::int32_t at = ws_position();
    str_append(u"Total Images: ");
    str_from_int(program.image_count, ws_position());
    ws_finish();
    statusbar_set_text(STATUS_BAR, 0, ws_text(at));
    ws_restore(at);
}

} // namespace

void input_scan() {
    remove_old_job_file();
    if (!pref_create(JOB_FILE_NAME)) {
        request_message(u"Error!", u"Unable to create a temporary file.", MESSAGE_OK);
        return;
    }
    file_set_attributes(JOB_FILE_NAME, FILE_ATTRIBUTE_HIDDEN);
    choose_input_folder();
    statusbar_set_text(STATUS_BAR, 0, u"Wait! Counting Images");
    const std::int32_t at = ws_position();
    program.image_count = count_entries(at);
    str probe_name = nullptr;
    str_assign(&probe_name, at);
    probe_resolution(probe_name);
    str_free(probe_name);
    dir_finish(INPUT_FOLDER_ENUMERATION);
    show_count();
    pref_group(u"Image Count");
    write_number(u"Total Images", program.image_count);
    pref_close();
}

} // namespace korvel
