// The program's shared state.
#include "window/program_state.h"

namespace korvel {

program_state program{};

} // namespace korvel
