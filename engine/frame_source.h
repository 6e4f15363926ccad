// Where a render's input frames come from: a folder of PNG files or a clip (later a stream).
// A source is opened once, which counts and probes its input, and is then read by input index in
// the order of the job's plan, which it is shown so that it can read ahead or keep what comes
// back. The job's loop never asks which kind it has.
#pragma once

#include "engine/input_timeline.h"
#include "engine/work_allowance.h"
#include "engine/work_cursor.h"
#include "image/bitmap.h"

#include <cstdint>
#include <memory>
#include <string>

namespace korvel {

// The input count of a stream that does not say how long it is.
inline constexpr std::int64_t INPUTS_UNKNOWN = -1;

struct source_facts {
    std::int64_t inputs = 0; // the input frames, or INPUTS_UNKNOWN
    std::int32_t width = 0;  // of the probe picture; 0 when none could be read
    std::int32_t height = 0;
    std::int32_t rate_num = 0; // a clip's frames per second; 0 when unknown
    std::int32_t rate_den = 1;
};

// How much may be read ahead: pictures at a time, each holding layer_bytes of the allowance.
struct read_ahead_budget {
    std::int32_t slots;
    work_allowance* allowance;
    std::int64_t layer_bytes;
};

class frame_source {
public:
    virtual ~frame_source() = default;

    virtual const source_facts& facts() const = 0;
    // The times that the inputs carry (a clip opened to keep them); null when they carry none.
    virtual std::shared_ptr<const input_timeline> timeline() const { return nullptr; }

    // From now on the job's loads follow coming's.
    virtual void expect(const work_cursor& coming, const read_ahead_budget& budget) = 0;
    // Input as a bitmap the caller owns, 0 when it cannot be read (the load problem says why) or
    // when a stream of unknown length ended before it (see ended).
    virtual image_handle_t take(std::int64_t input) = 0;
    // Whether a stream of unknown length has ended: the inputs from then on do not exist.
    virtual bool ended() const = 0;
    // The input as messages name it: the file's path, or the clip and the frame's number.
    virtual std::u16string describe(std::int64_t input) const = 0;
    // Frees what was read ahead and waits for reading under way; nothing more is read ahead until
    // the next expect.
    virtual void stop_reading_ahead() = 0;
};

} // namespace korvel
