// Sharing modes between processes: open file description locks on marker bytes far beyond any
// real data. A handle holds a shared lock on one marker per access it uses and one per access it
// does not share; an open conflicts when another description holds the opposite marker.
#pragma once

#include <cstdint>

namespace korvel {

// Sets fd's markers for access and share, then checks that no other open description of the file
// conflicts. False on a conflict; the caller then closes fd, which drops the markers. File systems
// without these locks never report a conflict.
bool markers_claim(int fd, std::uint32_t access, std::uint32_t share);

// Off, every claim succeeds as on a file system without these locks, leaving the in-process
// registry as the only guard; for checking that guard on its own. On by default.
void markers_set_enabled(bool enabled);

} // namespace korvel
