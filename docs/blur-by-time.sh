#!/usr/bin/env bash
# Draws docs/blur-by-time.svg, the picture of the rule of a blur by time: inputs at 144 fps on a
# time line, and the exposures of output frames 1 to 3 at 60 fps with a 180° shutter for each
# phase, every exposure cut into the pieces that inputs show in, with the weights they get. Not
# part of the build: run it by hand after changing it, and commit the picture.
#   usage: docs/blur-by-time.sh [OUTPUT.svg]
set -euo pipefail
out=${1:-$(dirname "${BASH_SOURCE[0]}")/blur-by-time.svg}

# Times are counted in units of 1/720 s: an input (144 fps) lasts 5, an output frame (60 fps)
# 12, an exposure at 180 degrees 6. The awk program lays out 10 inputs and frames 1 to 3.
awk -v input=5 -v frame=12 -v exposure=6 -v inputs=10 '
function x(t) { return left + t * scale }
function text(px, py, s, anchor, extra) {
    printf "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"%s\"%s>%s</text>\n", px, py, anchor, extra, s
}
function box(bx, by, w, h, fill) {
    printf "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"%s\" stroke=\"#333\"/>\n", bx, by, w, h, fill
}
# The exposure from a to b on row y: a piece per input it overlaps, and their weights below.
function exposure_row(a, b, y,    i, from, to, longest, n, len, label, sep, w) {
    n = 0; longest = 0
    for (i = 0; i < inputs; i++) {
        from = (a > i * input) ? a : i * input; to = (b < (i + 1) * input) ? b : (i + 1) * input
        if (to <= from) continue
        n++; piece_input[n] = i; piece_from[n] = from; piece_len[n] = to - from
        if (to - from > longest) longest = to - from
    }
    label = ""; sep = ""
    for (i = 1; i <= n; i++) {
        box(x(piece_from[i]), y, piece_len[i] * scale, 22, colour[piece_input[i] % 2])
        w = int((2048 * piece_len[i] + longest) / (2 * longest))
        label = label sep "#" piece_input[i] " " w; sep = ", "
    }
    text((x(a) + x(b)) / 2, y + 38, label, "middle", " font-size=\"11\"")
}
BEGIN {
    left = 90; scale = 16; width = left + inputs * input * scale + 30
    colour[0] = "#f4c26b"; colour[1] = "#7fb3d5"
    printf "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"350\" font-family=\"sans-serif\" font-size=\"13\">\n", width
    printf "<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n"
    text(left, 20, "inputs at 144 fps, outputs at 60 fps, shutter 180° (each exposure lasts half an output interval)", "start", "")
    text(left - 10, 66, "inputs", "end", "")
    for (i = 0; i < inputs; i++) {
        box(x(i * input), 50, input * scale, 26, colour[i % 2])
        text(x(i * input + input / 2), 68, "#" i, "middle", "")
        text(x(i * input), 92, "t" i, "middle", " font-size=\"11\"")
    }
    for (n = 1; n <= 3; n++) {
        printf "<line x1=\"%.1f\" y1=\"40\" x2=\"%.1f\" y2=\"315\" stroke=\"#c0392b\" stroke-dasharray=\"4 3\"/>\n", x(n * frame), x(n * frame)
        text(x(n * frame), 108, "T" n, "middle", " fill=\"#c0392b\"")
    }
    split("start center end", phase, " ")
    for (p = 1; p <= 3; p++) {
        y = 70 + p * 70
        text(left - 10, y + 16, phase[p], "end", "")
        lead = (p - 1) * exposure / 2
        for (n = 1; n <= 3; n++) exposure_row(n * frame - lead, n * frame - lead + exposure, y)
    }
    text(left, 340, "under each exposure: the inputs it shows and their weights (the longest piece 1024, the others their share, rounded)", "start", " font-size=\"12\"")
    print "</svg>"
}' >"$out"
echo "wrote $out"
