// Which of its two faces the start button shows, told from what the button paints: the artwork's
// opaque pixels appear unchanged in the painted button, so a face is shown when every one of its
// opaque pixels is there and the other face's are not.
#pragma once

#include "test_png.h"

#include <string>

class QWidget;

namespace korvel::app_test {

struct button_faces {
    rgba_image up;   // "Render"
    rgba_image down; // "Quit"
};

// Reads the two faces from the artwork files; empty images when they cannot be read.
button_faces load_button_faces();

// User-interface thread: "up", "down", "both" or "none".
std::string shown_face(QWidget* button, const button_faces& faces);

} // namespace korvel::app_test
