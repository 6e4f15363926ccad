// What the two requesters share: their owner window and running a dialog as a call answered when
// the user closes it.
#pragma once

#include "ui/ui_calls.h"

#include <functional>

class QDialog;
class QWidget;

namespace korvel {

// The owner of a new requester: the active window if it is one of the program's windows.
QWidget* requester_owner();

// Shows the dialog, modal for the whole program, and finishes the call with answer(dialog's
// result code) when the user closes it; the dialog deletes itself then. A dialog destroyed
// before that (its owner window closed) finishes the call with no result.
void requester_run(QDialog* dialog, const call_reply& reply,
                   std::function<call_result(int result_code)> answer);

} // namespace korvel
