// The cause of a failed load, kept per thread: read-ahead threads decode while the job loads.
#include "image/load_problem.h"

#include "runtime/error_text.h"

namespace korvel {
namespace {

thread_local const char* noted_text = nullptr;
thread_local int noted_error = 0;

} // namespace

void load_problem_clear() {
    noted_text = nullptr;
    noted_error = 0;
}

void load_problem_note(const char* text) {
    if (!noted_text && !noted_error) noted_text = text;
}

void load_problem_note_errno(int error) {
    if (!noted_text && !noted_error) noted_error = error;
}

const char* load_problem() {
    if (noted_text) return noted_text;
    return error_text(noted_error);
}

} // namespace korvel
