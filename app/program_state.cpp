// The program's shared state.
#include "app/program_state.h"

namespace korvel {

program_state program{};

} // namespace korvel
