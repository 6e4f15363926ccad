// The --weights value of korvel-render: a named weighting or a list, turned into the integer
// weights of the L layers of an output frame.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvel {

// "ramp" (no weights: the fading stack), "equal", "gauss" or "gauss:SIGMA" (SIGMA in layers,
// above 0; by default L / 6), or L numbers of at least 0, not all 0, separated by commas: whole
// numbers up to 1024 as written, others quantised. False with error set (the complaint after
// "--weights ") when text is none of these.
bool read_weights(const std::string& text, std::int64_t layers, std::vector<std::uint32_t>* weights,
                  std::string* error);

} // namespace korvel
