// One window program per working folder: the job file lives in the working folder under a fixed
// name, so a second program there would replace or delete the first one's job file under it.
#pragma once

#include <cstdint>

namespace korvel {

// Claims the working folder for this process until it ends. 0 when another process holds the
// claim; 1 otherwise, also where the folder cannot be locked at all (the program then runs as
// it would without the claim).
std::int32_t job_folder_claim();

} // namespace korvel
