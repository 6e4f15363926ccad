// Why the last load on this thread failed, in a user's words, so that a front end can say more than
// "Unable to load". The readers note the cause where they meet it; the first cause noted since the
// load began wins, as later failures are only its consequences.
#pragma once

namespace korvel {

// Forgets the cause of an earlier load.
void load_problem_clear();
// Notes a fixed text ("cut short"), or an errno value when the file could not be opened or read.
// Safe where libpng may jump: nothing here has a destructor.
void load_problem_note(const char* text);
void load_problem_note_errno(int error);

// The cause noted since the last clear, or "" when none is known.
const char* load_problem();

} // namespace korvel
