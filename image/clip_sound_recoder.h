// Sound that an output cannot take as it is: decoded, cut to the span to the sample, converted by
// libswresample and encoded with the output's encoder. Samples are placed by their time, so that
// a gap in the input stays a gap (filled with silence) and the sound keeps in step.
#pragma once

#include <cstdint>
#include <memory>

struct AVFormatContext;
struct AVPacket;
struct AVStream;

namespace korvel {

struct clip_sound;
struct sound_recoder;

struct sound_recoder_free {
    void operator()(sound_recoder* recoder) const;
};

using recoder_ptr = std::unique_ptr<sound_recoder, sound_recoder_free>;

// Opens the sound's decoder and the encoder named, writing into the stream of the container, whose
// parameters it sets. FFmpeg's error, else 0; *cause says which codec the system lacks.
int recoder_open(recoder_ptr& recoder, const clip_sound& sound, const char* encoder,
                 AVFormatContext& container, AVStream& stream, const char** cause);

// Decodes the packet (null: the sound has ended) and places its samples, counted from the tick
// where the span starts.
int recoder_decode(sound_recoder& recoder, const AVPacket* packet, std::int64_t from_tick);

// Encodes and writes the samples placed, up to the moment given in seconds from the span's start
// (whole encoder frames only, unless last, which drains the encoder).
int recoder_encode(sound_recoder& recoder, std::int64_t until_num, std::int64_t until_den,
                   bool last);

} // namespace korvel
