// An input frame that arrives slowly, as from a slow network share: until the test releases it,
// its entry is a named pipe, and the render worker's opening of it waits there. A render that has
// to read that frame cannot end before the test lets it, whatever the speed of the machine, so
// the test can act in the middle of it.
#pragma once

#include <chrono>
#include <string>

namespace korvel::app_test {

struct input_gate {
    std::string entry;   // the input's path: a pipe until released
    std::string pipe;    // a second name of the pipe, outside the input folder
    std::string waiting; // the real file, outside the input folder until released
};

// In the test, after the inputs are made: turns the entry into a gate, keeping the real file in
// spare_folder. A gate with an empty entry could not be made.
input_gate make_input_gate(const std::string& entry, const std::string& spare_folder);

// In the driver: waits until a thread of the process is held at the gate (Linux shows such a
// thread waiting for the pipe's other end). False after the limit.
bool gate_wait_for_reader(std::chrono::milliseconds limit);

// In the driver: puts the real file under the entry's name. A worker already waiting on the pipe
// is sent the frame's bytes through it, so it reads the frame whether it goes on with the pipe or
// opens the entry anew.
bool gate_release(const input_gate& gate);

} // namespace korvel::app_test
