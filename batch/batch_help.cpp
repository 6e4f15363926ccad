// korvel-render's --help text.
#include "batch/batch_options.h"

namespace korvel {

const char* batch_help_text() {
    return R"(usage: korvel-render [options] INPUT OUTPUT
       korvel-render --count [-l N] [--step S] INPUT

Stacks each group of L consecutive *.png files of the folder INPUT (in name order) onto one
transparent canvas, the first opaque and each following one fainter, and saves it in the folder
OUTPUT as 1.png, 2.png, ... zero-filled to the width of the input count (for 250 inputs:
001.png, 002.png). The frames are byte for byte those of Korvel's window with the same values.

INPUT may also be a video file: its frames, in order, are the inputs (turned upright as players
show them). OUTPUT may also name a clip that receives the output frames instead of PNG files, by
its extension, with the input clip's sound when it has some:
  .mkv   FFV1 with alpha (lossless: the very frames the PNG files would hold); h264, hevc, av1
  .mov   QuickTime with the PNG codec (lossless, with alpha); prores (4444), h264, hevc
  .webm  VP9 with alpha; av1
  .mp4   H.264 without alpha, the frames laid over --background; hevc, av1
  .nut   raw BGRA (lossless, with alpha); .y4m  4:2:0 without sound
INPUT - reads a stream from standard input (NUT, Y4M, Matroska, ...); OUTPUT - writes one to
standard output in --container nut, y4m, mkv or mov.

options:
  -l, --layers N    input frames stacked into each output frame (default 100)
  -a, --alpha N     opacity budget of the trailing frames (default 255)
  -r, --reverse     stack each group in reverse order: its last frame is the opaque one
  -j, --threads N   use at most N threads (default: every processor)
      --step S      inputs from one output frame's first input to the next one's (default L):
                    frame n is made of inputs (n-1)*S+1 to (n-1)*S+L, for every n whose last
                    input exists; S < L overlaps the groups (S = 1 leaves a trail), S > L skips
                    inputs
      --weights W   ramp (default: the first layer opaque, each following one fainter), or a
                    weighted mean of the layers: equal, gauss[:SIGMA] (SIGMA in layers, by
                    default L/6) or L numbers separated by commas (1,2,3,2,1), in input order
      --linear      sum a weighted mean's colours in linear light instead of sRGB
      --compression N
                    PNG compression level from 0 (none, fastest) to 12 (smallest); default 8,
                    the fastest level whose files are no larger than zlib's level 9 makes them
      --png-filter F
                    PNG row filter: none (default), sub, up, paeth or adaptive
      --format F    rgba (default) or rgb: 24-bit PNG files, each pixel laid over
                    --background
      --frames A-B  render only output frames A to B, numbered and named as in a full run;
                    A- renders from A to the end, A renders frame A alone
      --skip-existing
                    leave out the frames whose file exists (from an earlier run that was
                    stopped: a frame's file appears only once it is complete)
      --fps RATE    frames per second of a clip OUTPUT (25, 29.97 or 30000/1001); default: the
                    input clip's rate divided by L, or 25 for a folder INPUT
      --background COLOUR
                    what shows through transparent pixels in an .mp4 or with --format rgb
                    (#RRGGBB, black or white; default black)
      --codec NAME  the encoder of a clip OUTPUT, among those its container takes (above)
      --crf N       constant quality of that encoder (lower is better), where it has one
      --preset NAME its speed: x264/x265 names such as slow, a number for av1 and vp9
      --no-audio    leave the input clip's sound out of a clip OUTPUT
      --audio FILE  write the input clip's sound for the frames made beside PNG frames, as
                    .wav, .flac, .m4a or .opus
      --no-autorotate
                    keep a clip INPUT's pictures as stored, however it says they are shown
      --vf GRAPH    pass a clip INPUT's decoded frames through FFmpeg's filter graph GRAPH
                    (minterpolate=fps=240, scale=1280:-2, crop=W:H:X:Y) before the blur: its
                    frames, sizes and times are those that come out (a file is decoded and
                    filtered once more as it opens, to count and time them)
      --container C the stream written to OUTPUT -: nut, y4m, mkv or mov
      --digits N    zero-fill PNG frame numbers to N digits (default: the input count's width,
                    6 for a stream)
      --count       print the number of output frames that INPUT makes with these -l and
                    --step (counting inputs as a render does), and render nothing
      --stats       after the render, print the time spent decoding, compositing and
                    encoding, summed over threads
  -q, --quiet       show no progress (errors are still printed)
  -h, --help        show this text
      --version     show the version

blur by time, instead of -l, --step, -r and -a (--weights then takes equal, the default, or
gauss[:SIGMA], a Gaussian over the exposure with SIGMA a share of it, 1/6 by default):
      --out-fps RATE
                    output frames per second (60, 59.94 or 60000/1001): frame n (from 0) shows
                    n / RATE after the first input and is the mean of the inputs that show during
                    its exposure, each weighed by how long it shows there; the frames whose
                    exposure lies within the inputs are made, numbered from 1; a clip OUTPUT
                    runs at RATE
      --shutter DEG the exposure as a shutter angle above 0 and up to 3600 (default 360: the
                    whole interval from one output frame to the next; above 360 they overlap)
      --phase P     where the exposure lies at its frame's time: start, center (default) or end
      --in-fps RATE the inputs' frames per second (default 25 for a folder, a clip's own times
                    for a clip, those out of the graph with --vf)

Progress goes to standard error: a bar on a terminal, one line per frame otherwise.

exit status:
  0    every selected frame is saved
  1    the render failed: a file or clip could not be loaded or saved, a folder could not be
       read, no input gave a resolution, or there are fewer inputs than layers per frame
  2    wrong usage (also an OUTPUT extension that names no kind of clip)
  130  stopped by Ctrl+C (SIGINT; 143 for SIGTERM): the frames already under way are
       finished first, and no partial frame, clip or temporary file is left
)";
}

} // namespace korvel
