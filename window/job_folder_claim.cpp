// The claim is an exclusive flock on the working folder itself: it belongs to this process's open
// folder descriptor, so it ends with the process however the process ends, and a crashed program
// never leaves a stale claim behind. The batch renderer has no job file and takes no claim.
#include "window/job_folder_claim.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace korvel {

std::int32_t job_folder_claim() {
    // Kept open on purpose: closing it would end the claim.
    const int folder = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return 1;
    if (flock(folder, LOCK_EX | LOCK_NB) == 0) return 1;
    const bool held_elsewhere = errno == EWOULDBLOCK;
    close(folder);
    return held_elsewhere ? 0 : 1;
}

} // namespace korvel
