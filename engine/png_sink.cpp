// PNG files as the frames' place.
#include "engine/png_sink.h"

#include "engine/frame_file.h"
#include "engine/stale_parts.h"
#include "image/png_idat_stream.h"
#include "runtime/error_text.h"
#include "runtime/files.h"
#include "runtime/native_name.h"
#include "runtime/strings.h"

#include <cerrno>
#include <sys/stat.h>

namespace korvel {

png_sink::png_sink(std::u16string folder, std::int32_t digits, const png_frame_settings& settings)
    : folder_(std::move(folder)), digits_(digits), settings_(settings) {
    stale_parts_remove(folder_.c_str());
}

std::u16string png_sink::frame_path(std::int32_t frame) const {
    const std::int32_t at = ws_position();
    str_from_int(frame, at);
    str_pad_left(ws_text(at), digits_, u"0", at);
    std::u16string path = folder_ + ws_text(at) + u".png";
    ws_restore(at);
    return path;
}

// A frame's file exists only once the frame is complete, as frames are renamed into place.
bool png_sink::saved_already(std::int32_t frame) const {
    std::string native;
    struct stat status {};
    return native_name(frame_path(frame).c_str(), native) && stat(native.c_str(), &status) == 0 &&
           S_ISREG(status.st_mode);
}

std::int64_t png_sink::workspace_bytes(std::int32_t width, std::int32_t height) const {
    return png_idat_workspace_bytes(width, height, 4, settings_.level);
}

std::u16string png_sink::part_name(const std::u16string& path) const {
    return frame_part_name(path.c_str());
}

bool png_sink::write(image_handle_t canvas, const std::u16string& part, std::string* problem) {
    if (frame_part_write(canvas, part.c_str(), settings_)) return true;
    *problem = error_text(errno);
    return false;
}

bool png_sink::commit(const std::u16string& part, const std::u16string& path) {
    return frame_part_commit(part.c_str(), path.c_str()) != 0;
}

void png_sink::give_up(const std::u16string& part) {
    file_delete(part.c_str());
}

std::int32_t frame_digits(std::int64_t inputs) {
    return static_cast<std::int32_t>(str_decimal(inputs).size());
}

} // namespace korvel
