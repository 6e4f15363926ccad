// The containers and codecs korvel writes, and the check of an encoding against them and against
// the encoders this system's FFmpeg was built with.
#include "image/clip_format_table.h"
#include "image/clip_sound.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <array>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

namespace korvel {
namespace {

constexpr const char* x26x_presets[] = {"ultrafast", "superfast", "veryfast", "faster",
                                        "fast",      "medium",    "slow",     "slower",
                                        "veryslow",  "placebo",   nullptr};

constexpr encoder_knob x26x_crf{"crf", 0, 51}, x26x_preset{"preset", 0, 0, x26x_presets};
constexpr encoder_knob crf_63{"crf", 0, 63};

// 4:2:0 without alpha, in whole chroma samples.
constexpr encoder_kind lossy(const char* name, const char* options, encoder_knob crf,
                             encoder_knob preset, std::int32_t smallest_side = 1) {
    return {name, AV_PIX_FMT_YUV420P, options, crf, preset, false, true, smallest_side};
}

constexpr encoder_kind keeping_alpha(const char* name, AVPixelFormat pixels, const char* options) {
    return {name, pixels, options, {}, {}, true, false, 1};
}

// libx265 prints its banner on standard error unless told otherwise. libvpx and libaom keep to
// the quality asked for only without a bit rate; they share rows among threads only when told.
// FFmpeg's SVT-AV1 takes crf 0 for none given. FFV1 from level 3 codes slices, which threads share,
// and with g=1 every frame on its own. Y4M takes its pictures as frames, not as bytes of raw video.
constexpr encoder_kind libx264 = lossy("libx264", "crf=18:preset=medium", x26x_crf, x26x_preset);
constexpr encoder_kind libx265 =
    lossy("libx265", "crf=20:preset=medium:x265-params=log-level=error", x26x_crf, x26x_preset);
constexpr encoder_kind libsvtav1 =
    lossy("libsvtav1", "crf=30", {"crf", 1, 63}, {"preset", 0, 13}, 64);
constexpr encoder_kind libaom =
    lossy("libaom-av1", "crf=30:b=0:cpu-used=6:row-mt=1", crf_63, {"cpu-used", 0, 8});
constexpr encoder_kind librav1e = lossy("librav1e", "qp=80", {"qp", 0, 255}, {"speed", 0, 10});
constexpr encoder_kind libvpx_vp9{"libvpx-vp9",
                                  AV_PIX_FMT_YUVA420P,
                                  "crf=30:b=0:row-mt=1",
                                  crf_63,
                                  {"cpu-used", -8, 8},
                                  true,
                                  false,
                                  1};
constexpr encoder_kind ffv1 = keeping_alpha("ffv1", AV_PIX_FMT_BGRA, "level=3:g=1");
constexpr encoder_kind png = keeping_alpha("png", AV_PIX_FMT_RGBA, "pred=mixed");
constexpr encoder_kind prores_ks = keeping_alpha("prores_ks", AV_PIX_FMT_YUVA444P10LE, "profile=4");
constexpr encoder_kind raw_bgra = keeping_alpha("rawvideo", AV_PIX_FMT_BGRA, "");
constexpr encoder_kind raw_yuv{"wrapped_avframe", AV_PIX_FMT_YUV420P, "", {}, {}, false, false, 1};

template <auto... encoders>
constexpr const encoder_kind* encoder_list[] = {encoders..., nullptr};

constexpr codec_kind h264{"h264", "H.264", encoder_list<&libx264>, nullptr};
constexpr codec_kind hevc{"hevc", "HEVC", encoder_list<&libx265>, "hvc1"};
constexpr codec_kind av1{"av1", "AV1", encoder_list<&libsvtav1, &libaom, &librav1e>, nullptr};
constexpr codec_kind vp9{"vp9", "VP9", encoder_list<&libvpx_vp9>, nullptr};
constexpr codec_kind ffv1_codec{"ffv1", "FFV1", encoder_list<&ffv1>, nullptr};
constexpr codec_kind png_codec{"png", "PNG", encoder_list<&png>, nullptr};
constexpr codec_kind prores{"prores", "ProRes 4444", encoder_list<&prores_ks>, nullptr};
constexpr codec_kind raw_bgra_codec{"rawvideo", "raw BGRA", encoder_list<&raw_bgra>, nullptr};
constexpr codec_kind raw_yuv_codec{"rawvideo", "raw YUV 4:2:0", encoder_list<&raw_yuv>, nullptr};

template <const codec_kind*... codecs>
constexpr const codec_kind* codec_list[] = {codecs..., nullptr};

template <AVCodecID... ids>
constexpr AVCodecID id_list[] = {ids..., AV_CODEC_ID_NONE};

// Pictures in .mov on a pipe go in fragments, each with its own index, as the index at the end
// of a whole file is written by seeking back to the start.
constexpr clip_format video_formats[] = {
    {"mp4",
     ".mp4",
     "mp4",
     codec_list<&h264, &hevc, &av1>,
     nullptr,
     {"aac", id_list<AV_CODEC_ID_AAC, AV_CODEC_ID_MP3, AV_CODEC_ID_AC3, AV_CODEC_ID_EAC3,
                     AV_CODEC_ID_ALAC, AV_CODEC_ID_OPUS>}},
    {"mkv", ".mkv", "matroska", codec_list<&ffv1_codec, &h264, &hevc, &av1>, "", {"flac", nullptr}},
    {"mov",
     ".mov",
     "mov",
     codec_list<&png_codec, &prores, &h264, &hevc>,
     "movflags=frag_keyframe+empty_moov+default_base_moof",
     {"aac", id_list<AV_CODEC_ID_AAC, AV_CODEC_ID_MP3, AV_CODEC_ID_AC3, AV_CODEC_ID_ALAC,
                     AV_CODEC_ID_PCM_S16LE, AV_CODEC_ID_PCM_S16BE, AV_CODEC_ID_PCM_S24LE,
                     AV_CODEC_ID_PCM_F32LE>}},
    {"webm", ".webm", "webm", codec_list<&vp9, &av1>, nullptr, {"libopus", nullptr}},
    {"nut", ".nut", "nut", codec_list<&raw_bgra_codec, &ffv1_codec>, "", {"flac", nullptr}},
    {"y4m", ".y4m", "yuv4mpegpipe", codec_list<&raw_yuv_codec>, "", {nullptr, nullptr}},
};

constexpr clip_format sound_formats[] = {
    {"wav",
     ".wav",
     "wav",
     nullptr,
     nullptr,
     {"pcm_s16le", id_list<AV_CODEC_ID_PCM_S16LE, AV_CODEC_ID_PCM_S24LE, AV_CODEC_ID_PCM_S32LE,
                           AV_CODEC_ID_PCM_F32LE, AV_CODEC_ID_PCM_U8>}},
    {"flac", ".flac", "flac", nullptr, nullptr, {"flac", id_list<AV_CODEC_ID_FLAC>}},
    {"m4a", ".m4a", "ipod", nullptr, nullptr, {"aac", id_list<AV_CODEC_ID_AAC, AV_CODEC_ID_ALAC>}},
    {"opus", ".opus", "opus", nullptr, nullptr, {"libopus", id_list<AV_CODEC_ID_OPUS>}},
};

template <std::size_t N>
const clip_format* format_by_extension(const clip_format (&formats)[N], const char16_t* path) {
    if (!path) return nullptr;
    for (const clip_format& format : formats)
        if (ends_with(path, format.extension)) return &format;
    return nullptr;
}

// "a, b or c" of the texts given, in order; "" for none.
std::string listed(const char* const* texts, std::size_t count, const char* last_joint) {
    std::string list;
    for (std::size_t i = 0; i < count; ++i)
        list += (i == 0 ? "" : i + 1 == count ? last_joint : ", ") + std::string(texts[i]);
    return list;
}

thread_local std::string problem_text;

const char* problem(std::string text) {
    problem_text = std::move(text);
    return problem_text.c_str();
}

// The format's codecs, each once (FFmpeg's rawvideo may stand for two pixel layouts).
std::string codecs_of(const clip_format& format, bool available_only, const char* joint) {
    const char* names[8] = {};
    std::size_t count = 0;
    for (const codec_kind* const* codec = format.codecs; codec && *codec; ++codec)
        if (!available_only || available_encoder(**codec)) names[count++] = (*codec)->name;
    return listed(names, count, joint);
}

const char* encoders_missing(const codec_kind& codec) {
    const char* names[4] = {};
    std::size_t count = 0;
    for (const encoder_kind* const* encoder = codec.encoders; *encoder; ++encoder)
        names[count++] = (*encoder)->name;
    return problem("this system's FFmpeg has no " + listed(names, count, " or ") +
                   " encoder (for " + codec.name + ")");
}

// The format's codecs whose encoders take the knob: "h264, hevc, av1".
std::string codecs_taking(const clip_format& format, encoder_knob encoder_kind::*knob) {
    const char* names[8] = {};
    std::size_t count = 0;
    for (const codec_kind* const* codec = format.codecs; *codec; ++codec) {
        const encoder_kind* encoder = available_encoder(**codec);
        if (encoder && (encoder->*knob).option) names[count++] = (*codec)->name;
    }
    return listed(names, count, ", ");
}

std::string knob_range(const encoder_knob& knob) {
    if (knob.names) {
        std::size_t count = 0;
        while (knob.names[count])
            ++count;
        return listed(knob.names, count, " or ");
    }
    return std::to_string(knob.low) + " to " + std::to_string(knob.high);
}

bool knob_takes(const encoder_knob& knob, const char* value) {
    if (knob.names) {
        for (const char* const* name = knob.names; *name; ++name)
            if (std::strcmp(*name, value) == 0) return true;
        return false;
    }
    char* end = nullptr;
    const long number = std::strtol(value, &end, 10);
    return *value && !*end && number >= knob.low && number <= knob.high;
}

// "" when the encoder takes value (null: none asked for) through the knob called flag.
const char* knob_problem(const clip_format& format, const encoder_kind& encoder,
                         encoder_knob encoder_kind::*knob, const char* flag, const char* value,
                         const codec_kind& codec) {
    if (!value) return "";
    const encoder_knob& setting = encoder.*knob;
    if (!setting.option) {
        const std::string others = codecs_taking(format, knob);
        return problem(
            std::string(codec.name) + " takes no " + flag +
            (others.empty() ? "" : std::string(" (") + flag + " goes to " + others + ")"));
    }
    if (knob_takes(setting, value)) return "";
    return problem(std::string(encoder.name) + " takes " + flag + " " + knob_range(setting));
}

} // namespace

bool ends_with(const char16_t* path, const char* extension) {
    const std::size_t length = std::char_traits<char16_t>::length(path);
    const std::size_t wanted = std::strlen(extension);
    if (length < wanted) return false;
    for (std::size_t i = 0; i < wanted; ++i) {
        const char16_t c = path[length - wanted + i];
        if ((c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c) != extension[i]) return false;
    }
    return true;
}

const encoder_kind* available_encoder(const codec_kind& codec) {
    for (const encoder_kind* const* encoder = codec.encoders; *encoder; ++encoder)
        if (avcodec_find_encoder_by_name((*encoder)->name)) return *encoder;
    return nullptr;
}

const codec_kind* codec_in(const clip_format& format, const clip_encoding& encoding) {
    if (!format.codecs) return nullptr;
    if (!encoding.codec || !*encoding.codec) return format.codecs[0];
    for (const codec_kind* const* codec = format.codecs; *codec; ++codec)
        if (std::strcmp((*codec)->name, encoding.codec) == 0) return *codec;
    return nullptr;
}

const clip_format* clip_format_for(const char16_t* path) {
    return format_by_extension(video_formats, path);
}

const clip_format* clip_sound_format_for(const char16_t* path) {
    return format_by_extension(sound_formats, path);
}

const char* clip_sound_format_names() {
    static const std::string names = [] {
        const char* extensions[std::size(sound_formats)] = {};
        for (std::size_t i = 0; i < std::size(sound_formats); ++i)
            extensions[i] = sound_formats[i].extension;
        return listed(extensions, std::size(sound_formats), " or ");
    }();
    return names.c_str();
}

const clip_format* clip_pipe_format(const char* name) {
    for (const clip_format& format : video_formats)
        if (name && format.pipe_options && std::strcmp(format.name, name) == 0) return &format;
    return nullptr;
}

const char* clip_pipe_format_names() {
    static const std::string names = [] {
        const char* pipes[std::size(video_formats)] = {};
        std::size_t count = 0;
        for (const clip_format& format : video_formats)
            if (format.pipe_options) pipes[count++] = format.name;
        return listed(pipes, count, " or ");
    }();
    return names.c_str();
}

const char* clip_format_name(const clip_format* format) {
    return format ? format->name : "";
}

const char* clip_format_codecs(const clip_format* format) {
    static const auto lists = [] {
        std::array<std::string, std::size(video_formats)> texts;
        for (std::size_t i = 0; i < texts.size(); ++i)
            texts[i] = codecs_of(video_formats[i], true, ", ");
        return texts;
    }();
    for (std::size_t i = 0; i < std::size(video_formats); ++i)
        if (format == &video_formats[i]) return lists[i].c_str();
    return "";
}

const char* clip_encoding_problem(const clip_format* format, const clip_encoding& encoding) {
    if (!format || !format->codecs) return problem("not a kind of clip korvel writes");
    const codec_kind* codec = codec_in(*format, encoding);
    if (!codec)
        return problem(std::string(format->extension) + " takes " +
                       codecs_of(*format, false, " or "));
    const encoder_kind* encoder = available_encoder(*codec);
    if (!encoder) return encoders_missing(*codec);
    const std::string crf = std::to_string(encoding.crf);
    const char* crf_problem = knob_problem(*format, *encoder, &encoder_kind::crf, "--crf",
                                           encoding.crf == -1 ? nullptr : crf.c_str(), *codec);
    if (*crf_problem) return crf_problem;
    const char* preset = encoding.preset && *encoding.preset ? encoding.preset : nullptr;
    return knob_problem(*format, *encoder, &encoder_kind::preset, "--preset", preset, *codec);
}

} // namespace korvel
