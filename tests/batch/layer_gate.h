// An input layer that korvel-render has to wait for, as on a slow network share: its entry is a
// named pipe until the test lets the bytes through. A render that reaches that layer stops there
// whatever the speed of the machine, so a test can change the folders under it at a known point.
#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>

namespace korvel::test {

class layer_gate {
public:
    // Turns the input file at entry into a pipe, keeping its bytes. ready() tells whether it could.
    explicit layer_gate(const std::string& entry);
    // Lets a reader still waiting go with an empty pipe, and puts the real file back.
    ~layer_gate();
    layer_gate(const layer_gate&) = delete;
    layer_gate& operator=(const layer_gate&) = delete;

    bool ready() const { return ready_; }

    // Waits until a thread of process reader is held opening the pipe. False after the limit.
    static bool wait_for_reader(pid_t reader, std::chrono::milliseconds limit);

    // Puts the real file under the entry's name and sends its bytes to the waiting reader.
    bool release();

private:
    std::string entry_;
    std::string bytes_;
    int writer_ = -1;
    bool ready_ = false;
    bool released_ = false;
};

} // namespace korvel::test
