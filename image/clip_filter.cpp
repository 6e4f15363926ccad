// Filter graphs over decoded frames: a buffer source named "in" and a buffer sink named "out"
// around the user's text, as the ffmpeg program's -vf links them.
#include "image/clip_filter.h"

#include "image/clip_frames.h"

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/frame.h>
#include <libavutil/mem.h>
}

#include <string>

namespace korvel {
namespace {

struct inout_free {
    void operator()(AVFilterInOut* ends) const { avfilter_inout_free(&ends); }
};
using inout_ptr = std::unique_ptr<AVFilterInOut, inout_free>;

// An open end of the text's graph, linked to the named pad 0 of context.
inout_ptr open_end(const char* name, AVFilterContext* context) {
    inout_ptr end(avfilter_inout_alloc());
    if (!end || !(end->name = av_strdup(name))) return nullptr;
    end->filter_ctx = context;
    end->pad_idx = 0;
    return end;
}

std::string source_arguments(const filter_input& in) {
    return "video_size=" + std::to_string(in.width) + "x" + std::to_string(in.height) +
           ":pix_fmt=" + std::to_string(in.format) + ":time_base=" + std::to_string(in.time_num) +
           "/" + std::to_string(in.time_den) + ":pixel_aspect=" + std::to_string(in.aspect_num) +
           "/" + std::to_string(in.aspect_den) + ":frame_rate=" + std::to_string(in.rate_num) +
           "/" + std::to_string(in.rate_den);
}

// The source, the sink and the text between them; FFmpeg's error, its words noted.
int parse(clip_filter& filter, const std::string& text, const filter_input& input) {
    ffmpeg_note_errors();
    filter.graph.reset(avfilter_graph_alloc());
    if (!filter.graph) return AVERROR(ENOMEM);
    filter.input = input;
    filter.fed = false;
    AVFilterGraph* graph = filter.graph.get();
    int result = avfilter_graph_create_filter(&filter.source, avfilter_get_by_name("buffer"), "in",
                                              source_arguments(input).c_str(), nullptr, graph);
    if (result >= 0)
        result = avfilter_graph_create_filter(&filter.sink, avfilter_get_by_name("buffersink"),
                                              "out", nullptr, nullptr, graph);
    if (result < 0) return result;
    inout_ptr outputs = open_end("in", filter.source), inputs = open_end("out", filter.sink);
    if (!outputs || !inputs) return AVERROR(ENOMEM);
    AVFilterInOut* in_end = inputs.release();
    AVFilterInOut* out_end = outputs.release();
    result = avfilter_graph_parse_ptr(graph, text.c_str(), &in_end, &out_end, nullptr);
    avfilter_inout_free(&in_end);
    avfilter_inout_free(&out_end);
    return result;
}

} // namespace

void filter_graph_free::operator()(AVFilterGraph* graph) const {
    avfilter_graph_free(&graph);
}

const char* clip_filter_build(clip_filter& filter, const std::string& text,
                              const filter_input& input) {
    int result = parse(filter, text, input);
    if (result >= 0) result = avfilter_graph_config(filter.graph.get(), nullptr);
    if (result >= 0) return nullptr;
    filter.graph.reset();
    return ffmpeg_noted_error(result);
}

std::string clip_filter_problem(const std::string& text) {
    ffmpeg_quiet();
    filter_input input;
    input.width = input.height = 64;
    input.format = AV_PIX_FMT_YUV420P;
    input.time_den = 25;
    clip_filter filter;
    const int result = parse(filter, text, input);
    return result < 0 ? ffmpeg_noted_error(result) : std::string();
}

filter_output clip_filter_output(const clip_filter& filter) {
    const AVFilterContext* sink = filter.sink;
    const AVRational base = av_buffersink_get_time_base(sink);
    const AVRational rate = av_buffersink_get_frame_rate(sink);
    const bool rated = rate.num > 0 && rate.den > 0;
    return {av_buffersink_get_w(sink),
            av_buffersink_get_h(sink),
            av_buffersink_get_format(sink),
            base.num,
            base.den,
            rated ? rate.num : 0,
            rated ? rate.den : 1};
}

int clip_filter_send(clip_filter& filter, const std::string& text, AVFrame& frame) {
    if (frame.width != filter.input.width || frame.height != filter.input.height ||
        frame.format != filter.input.format) {
        if (filter.fed) return AVERROR_INPUT_CHANGED;
        filter_input changed = filter.input;
        changed.width = frame.width;
        changed.height = frame.height;
        changed.format = frame.format;
        if (clip_filter_build(filter, text, changed)) return AVERROR_INPUT_CHANGED;
    }
    filter.fed = true;
    return av_buffersrc_add_frame(filter.source, &frame);
}

int clip_filter_end(clip_filter& filter, std::int64_t end) {
    return av_buffersrc_close(filter.source, end, 0);
}

int clip_filter_receive(clip_filter& filter, AVFrame& frame) {
    return av_buffersink_get_frame(filter.sink, &frame);
}

} // namespace korvel
