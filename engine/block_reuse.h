// Keeping freed frame-sized blocks in the process while a render runs. A render allocates and
// frees a frame's worth of pixels for every layer; handed back to the system each time, every
// block is faulted in (and zeroed) again for the next layer, and unmapping it interrupts every
// other core that runs one of the engine's threads. Kept, the next layer reuses it as it is.
#pragma once

namespace korvel {

// Large blocks (up to the allocator's 32 MiB ceiling for this) come from the heap and stay there
// when freed; calling it again changes nothing.
void block_reuse_start();

// Hands the free memory kept this way back to the system, for when a render has ended.
void block_reuse_hand_back();

} // namespace korvel
