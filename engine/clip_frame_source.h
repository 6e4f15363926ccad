// A clip's frames as input frames. A clip can only be decoded from its start on, so its frames
// are decoded in order as the job asks for them; a frame decoded before its turn, or one that the
// plan loads again later, is kept until then, and frames the plan never loads are dropped.
#pragma once

#include "engine/frame_source.h"
#include "engine/rational.h"
#include "image/clip_library.h"

#include <map>
#include <memory>
#include <string>

namespace korvel {

class clip_frame_source final : public frame_source {
public:
    // Opens the clip once ("-": the stream on standard input), which reads its facts; null when
    // it cannot, with the load problem saying why.
    static std::unique_ptr<clip_frame_source> open(const std::u16string& path,
                                                   const clip_read_options& options);
    ~clip_frame_source() override;
    clip_frame_source(const clip_frame_source&) = delete;
    clip_frame_source& operator=(const clip_frame_source&) = delete;

    const source_facts& facts() const override { return facts_; }
    // The clip's own frame times, when it was opened to keep them.
    std::shared_ptr<const input_timeline> timeline() const override { return timeline_; }
    void expect(const work_cursor& coming, const read_ahead_budget& budget) override;
    image_handle_t take(std::int64_t input) override;
    std::u16string describe(std::int64_t input) const override;
    void stop_reading_ahead() override;
    bool ended() const override { return ended_; }

    // The clip's sound, when it was opened to keep it and has some; null otherwise.
    clip_sound* sound() const { return clip_support()->reader_sound(reader_); }
    // When input shows, as the clip's own rate places it after the first picture: where the
    // sound of an output frame made from it begins.
    clip_time time_of(std::int64_t input) const;
    // The same for a moment between two inputs, counted in inputs (num / den above 0).
    clip_time time_of(const rational& inputs) const;

private:
    clip_frame_source(std::u16string path, clip_reader* reader, const clip_facts& clip);
    void pass_load_of(std::int64_t input);
    void drop_before(std::int64_t input);
    image_handle_t hand_out(std::int64_t input, image_handle_t frame);

    std::u16string path_;
    clip_reader* reader_;
    source_facts facts_;
    clip_facts clip_;
    std::shared_ptr<const input_timeline> timeline_;
    work_cursor coming_;       // the job's loads from its next one on
    std::int64_t decoded_ = 0; // frames decoded so far
    bool ended_ = false;
    std::map<std::int64_t, image_handle_t> kept_;
};

} // namespace korvel
