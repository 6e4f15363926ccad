// A filter graph written in libavfilter's text, run over a clip's decoded frames before they become
// bitmaps: one video input fed the frames as decoded, one output whose frames carry new times in
// the output's own time base. FFmpeg's types are only named here.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct AVFilterContext;
struct AVFilterGraph;
struct AVFrame;

namespace korvel {

struct filter_graph_free {
    void operator()(AVFilterGraph* graph) const;
};

// The frames a graph is built for.
struct filter_input {
    std::int32_t width = 0, height = 0;
    std::int32_t format = -1; // FFmpeg's pixel format
    std::int32_t time_num = 1, time_den = 1;
    std::int32_t rate_num = 0, rate_den = 1; // 0/1 when unknown
    std::int32_t aspect_num = 1, aspect_den = 1;
};

struct clip_filter {
    std::unique_ptr<AVFilterGraph, filter_graph_free> graph;
    AVFilterContext* source = nullptr; // both owned by the graph
    AVFilterContext* sink = nullptr;
    filter_input input;
    bool fed = false; // a frame went in: the graph can no longer be rebuilt unseen
};

// What the output gives, once the graph is built.
struct filter_output {
    std::int32_t width = 0, height = 0, format = -1;
    std::int32_t time_num = 1, time_den = 1;
    std::int32_t rate_num = 0, rate_den = 1; // 0/1 when the graph does not say
};

// Builds the graph of text over frames like input; null when it is ready, else FFmpeg's words for
// why it cannot be parsed or set up (the thread's, until a graph is next built there).
const char* clip_filter_build(clip_filter& filter, const std::string& text,
                              const filter_input& input);

// FFmpeg's words when text is no graph it can parse (an unknown filter, an option it lacks), else
// "". Whether the graph fits a clip's frames is only known once it is built for them.
std::string clip_filter_problem(const std::string& text);

filter_output clip_filter_output(const clip_filter& filter);

// Feeds the graph a decoded frame, which it takes. A frame of another size or format than the
// first is refused with AVERROR_INPUT_CHANGED, as the filters already hold pictures of the first;
// the graph is rebuilt for it when nothing went in yet.
int clip_filter_send(clip_filter& filter, const std::string& text, AVFrame& frame);

// Tells the graph the stream has ended at end, in the input's time base, when the last frame
// stops showing: filters that make frames at a rate make them up to there.
int clip_filter_end(clip_filter& filter, std::int64_t end);

// The next frame out of the graph into frame: 0, AVERROR(EAGAIN) when it wants more input,
// AVERROR_EOF after the last.
int clip_filter_receive(clip_filter& filter, AVFrame& frame);

} // namespace korvel
