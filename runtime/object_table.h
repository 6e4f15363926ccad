// Numbered object tables: every kind of object the program names by number (images, windows,
// gadgets, status bars, folder enumerations, files) lives in a table of its own.
//
// A slot is in use exactly when its first 32-bit field is non-zero, so every kind's record starts
// with a 32-bit field that is never 0 for a live object; an all-zero slot is a free number. Slots
// never move. Creation, growth and iteration take the table's recursive lock; lookups of numbered
// slots take none.
#pragma once

#include <cstdint>

namespace korvel {

// A number chosen by the caller (0 and up), NUMBER_ANY, or the identifier that a create under
// NUMBER_ANY returned (the address of a separately allocated object, so it needs pointer width).
using obj_number = std::intptr_t;
inline constexpr obj_number NUMBER_ANY = -1;

// The kind's free function: frees whatever object lives under the number (nothing for a free one).
using free_operation = void (*)(obj_number);

struct obj_table;

// A new table whose slots hold object_size bytes. The block size is the smallest power of two
// not below initial; the table keeps its blocks until the process ends. Null when object_size
// cannot hold the 32-bit in-use field or memory cannot be had.
obj_table* table_create(std::int32_t object_size, std::int32_t initial, free_operation free_op);

// The slot to fill for number n (growing the table, and freeing the object that lived there
// first), or for NUMBER_ANY a new zero-filled separate object whose address is its identifier.
// Null for negative numbers other than NUMBER_ANY, for numbers beyond the 32-bit range (where
// identifiers lie: an identifier cannot be reused as a number), and when memory runs out.
void* obj_new(obj_table* table, obj_number n);

// The object of number or identifier n if it is in use (its first 32-bit field is non-zero),
// else null. Numbers are found without a lock; any other value is searched among the separate
// objects under the lock, so a value that names no object is never dereferenced.
void* obj_lookup(obj_table* table, obj_number n);

// Zero-fills slot n, or unlinks and frees the separate object n; any other value is ignored.
void obj_clear(obj_table* table, obj_number n);

// Iteration over every object in use: numbered slots in ascending order, then separate objects
// from the oldest to the newest. The table's lock is held from begin until next returns null, so
// an iteration must run to its end; the current object may be freed between two calls.
void table_iterate_begin(obj_table* table);
void* table_iterate_next(obj_table* table, obj_number* number);

// Calls the free operation for every object in use (end-of-program finalisers); a table without
// one is left as it is.
void table_free_all(obj_table* table);

// Number of numbered slots that exist (numbers 0 to capacity - 1).
std::int32_t table_capacity(const obj_table* table);

} // namespace korvel
