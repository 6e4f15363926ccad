// Writing a preset's frames into a folder as numbered PNG files, and recognising a folder that
// already holds them so that the slow generation runs once per machine.
#pragma once

#include "bench/workload_frames.h"

#include <cstdint>
#include <string>

namespace korvel {

// Marks a folder whose frames are complete; holds workload_stamp_text of the preset.
inline constexpr const char* WORKLOAD_STAMP = ".korvel-workload";

enum class workload_result {
    written,          // the frames were (re)generated
    already_complete, // the stamp matched and every frame was there: nothing was touched
    foreign_files,    // the folder holds PNG files the generator did not write: nothing touched
    failed,           // the folder or a frame could not be written
};

struct workload_outcome {
    workload_result result;
    std::string detail; // what went wrong, or the foreign file's name
};

// "0001.png" for index 0: four digits at least, so the sorted listing is the frame order.
std::string workload_frame_name(const workload_preset& preset, std::int32_t index);

// What the stamp of a complete folder of this preset says.
std::string workload_stamp_text(const workload_preset& preset);

// Paints frame index and saves it to path through the PNG encoder. False when it cannot.
bool workload_write_frame(const workload_preset& preset, std::int32_t index,
                          const std::string& path);

// Makes folder (created when missing) hold the preset's frames and the stamp, writing frames on
// that many threads at once. Unless force is set, a folder whose stamp matches and whose frames
// are all present is left as it is. Numbered frames beyond the preset's count, left by an
// earlier, longer preset, are removed.
workload_outcome workload_generate(const workload_preset& preset, const std::string& folder,
                                   bool force, std::int32_t threads);

} // namespace korvel
