// The start button's face, from its painting.
#include "button_face.h"

#include <QImage>
#include <QWidget>

namespace korvel::app_test {

namespace {

bool opaque_pixels_at(const QImage& painted, const rgba_image& face, int left, int top) {
    int opaque = 0;
    for (int y = 0; y < face.height; ++y)
        for (int x = 0; x < face.width; ++x) {
            const std::uint8_t* pixel = face.at(x, y);
            if (pixel[3] != 255) continue;
            ++opaque;
            const QRgb shown = painted.pixel(left + x, top + y);
            if (qRed(shown) != pixel[0] || qGreen(shown) != pixel[1] || qBlue(shown) != pixel[2])
                return false;
        }
    return opaque > 0;
}

// Anywhere on the button, as the face is centred and may sink by a pixel while held down.
bool painted_with(const QImage& painted, const rgba_image& face) {
    for (int top = 0; top + face.height <= painted.height(); ++top)
        for (int left = 0; left + face.width <= painted.width(); ++left)
            if (opaque_pixels_at(painted, face, left, top)) return true;
    return false;
}

} // namespace

button_faces load_button_faces() {
    const std::string folder = std::string(KORVEL_SOURCE_DIR) + "/resources/";
    return {read_png(folder + "button_render.png").image,
            read_png(folder + "button_quit.png").image};
}

std::string shown_face(QWidget* button, const button_faces& faces) {
    const QImage painted = button->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const bool up = painted_with(painted, faces.up);
    const bool down = painted_with(painted, faces.down);
    if (up && down) return "both";
    if (up) return "up";
    return down ? "down" : "none";
}

} // namespace korvel::app_test
