// Inside the clip module: the program's operations that the module's code calls by their usual
// names (bitmap_create, load_problem_note, ...), which forward to the program's table.
#pragma once

#include "image/clip_library.h"

namespace korvel {

// Keeps the program's table for the forwarding functions; called once, as the module is opened.
void clip_host_use(const clip_host& host);

} // namespace korvel
