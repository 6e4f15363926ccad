// The Qt application object, which lives on the user-interface thread.
#pragma once

namespace korvel {

// Creates the application object on the calling thread, once.
void application_start();

} // namespace korvel
