// Temporary frame files left behind by a process that was killed while writing: they never carry
// a frame's name, but a later render into the same folder clears them away.
#pragma once

#include <string>

namespace korvel {

// The owner mark of this process's temporary frame files: "." + host name + "." + process id.
const std::string& part_owner_mark();

// Removes, beside the frames whose paths start with output_prefix (the output folder text a job
// joins frame names to), every temporary frame file that a process of this host wrote and that
// is no longer running; when output_prefix names a clip, its temporary files as well. Files of
// live processes and of other hosts are left alone.
void stale_parts_remove(const char16_t* output_prefix);

} // namespace korvel
