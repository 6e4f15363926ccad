// The system's words for an errno value, for messages that say why a file operation failed.
#pragma once

namespace korvel {

// "No space left on device" for ENOSPC; "" for 0 or a value the system has no words for. Safe on
// any thread: unlike strerror, the texts share no buffer.
const char* error_text(int error);

} // namespace korvel
