// The gadget table's record, the operations table of a gadget kind, and what windows and the
// gadget kinds need of the gadget table.
#pragma once

#include "runtime/object_table.h"

#include <QRect>
#include <QString>

#include <cstdint>

class QFont;
class QWidget;

namespace korvel {

// What varies by kind. A null state or attribute operation makes the operation do nothing (and
// return 0).
struct gadget_kind_ops {
    std::int32_t code;
    QString (*get_text)(QWidget* control);
    void (*set_text)(QWidget* control, const QString& text);
    std::int32_t (*get_state)(QWidget* control);
    void (*set_state)(QWidget* control, std::int32_t state);
    void (*set_attribute)(QWidget* control, std::int32_t attribute, std::intptr_t value);
};

struct gadget_record {
    std::uint32_t handle; // never 0 for a live gadget
    const gadget_kind_ops* kind;
    QWidget* control;
    obj_number window;
};

gadget_record* gadget_lookup(obj_number n);

// Builds a kind's control as a child of parent; number is the gadget's number (its identifier
// for NUMBER_ANY) and window the window's number, which the control's events carry.
using control_maker = QWidget* (*)(QWidget* parent, obj_number number, obj_number window,
                                   const void* details);

// Places a new gadget in the calling thread's current gadget list at geometry (client pixels):
// frees what lived under n, makes the control with make(…, details) and records it. Returns the
// gadget's handle (its identifier for NUMBER_ANY), or 0.
obj_number gadget_place(obj_number n, const gadget_kind_ops& kind, const QRect& geometry,
                        control_maker make, const void* details);

// Queues the event of a gadget's click or change notification.
void queue_gadget_command(obj_number gadget, obj_number window, std::int32_t subtype);

// Frees every gadget of the window (the window is closing).
void gadgets_free_in_window(obj_number window);

// Makes the window the calling thread's current gadget list.
void gadget_list_use(obj_number window);
// The window is closing: no thread places gadgets in it any more.
void gadget_list_forget(obj_number window);

// The font of every gadget.
const QFont& gadget_font();

} // namespace korvel
