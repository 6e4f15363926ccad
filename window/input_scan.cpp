// The input scan. While a render job holds the job file, creating it fails and the scan ends at
// once, so a job's count and resolution never change under it.
#include "window/input_scan.h"

#include "engine/folder_source.h"
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

void write_number(const char16_t* key, std::int64_t value) {
    pref_write_string(key, str_decimal(value).c_str());
}

// Records the probe entry's resolution in the job file, or says that it could not be read.
void record_resolution(const folder_scan& scan) {
    if (scan.width < 1) {
        request_message(u"Error!", u"Unable to get the resolution from a ''*.png'' file.",
                        MESSAGE_OK);
        return;
    }
    program.probe_width = scan.width;
    program.probe_height = scan.height;
    pref_group(u"Resolution");
    write_number(u"Width", program.probe_width);
    write_number(u"Height", program.probe_height);
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
    // The count and the probe of the folder's last entry are the render's own scan.
    const folder_scan scan = scan_folder(program.input_folder ? program.input_folder : u"", true);
    program.image_count = scan.names ? static_cast<std::int32_t>(scan.names->size()) : 0;
    record_resolution(scan);
    show_count();
    pref_group(u"Image Count");
    write_number(u"Total Images", program.image_count);
    pref_close();
}

} // namespace korvel
