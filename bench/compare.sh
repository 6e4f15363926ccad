#!/usr/bin/env bash
# Side-by-side benchmark, run by `./dev.sh bench`: builds korvel-render and the workload generator
# (Release), generates the "sprite" and "footage" sequences and the footage's clips once, then times
# korvel-render with one thread and with every thread against ImageMagick and ffmpeg blurring the
# same frames, against ffmpeg's sliding mean (the "trail") and against its nearest to a blur by
# time (the "shutter"), each run under /usr/bin/time -v, and
# writes a markdown table with the ratios and a PASS/FAIL line per target. A peer that fails or is missing is recorded as such; every run is
# bounded by a timeout.
set -uo pipefail

usage() {
    cat <<'EOF'
usage: bench/compare.sh [OPTIONS]
Times korvel-render (1 thread and all threads) against ImageMagick and ffmpeg on the "sprite"
(200 frames of 1280 x 720 RGBA, L = 100) and "footage" (240 frames of 1920 x 1080 RGB, L = 30)
sequences, and against ffmpeg on "clip" (the footage as H.264 and FFV1 clips, into PNG frames and
FFV1 clips), "trail" (the footage's sliding mean of L = 30 frames moved by one, 211 frames) and
"shutter" (the H.264 clip read as 240 fps and blurred by time into 60 fps at 180°, against
tmix=frames=2,fps=60), and writes BENCH_DIR/results.md (also printed).
  --bench-dir DIR    build, logs, outputs and results (default: build-bench in the checkout)
  --workloads DIR    where the input sequences are generated once (default: BENCH_DIR/workloads)
  --timeout SECONDS  longest any single timed run may take (default: 1800)
  --only NAME        measure only one workload: sprite, footage, clip, trail or shutter
  --no-build         use the programs already built in BENCH_DIR/build
  --no-install       do not install missing peers (imagemagick, ffmpeg, time) from Debian
  -h, --help         this text
Environment: KORVEL_BENCH_DIR, KORVEL_WORKLOADS and KORVEL_BENCH_TIMEOUT give the defaults of the
options above; KORVEL_RENDER, KORVEL_MAKE_WORKLOAD, KORVEL_CONVERT, KORVEL_FFMPEG, KORVEL_FFPROBE
and KORVEL_TIME replace the programs used; KORVEL_BENCH_THREADS is the "all threads" count
(default: nproc).
Exit status: 0 when every target passed, 1 when one failed, 2 when nothing could be measured.
EOF
}

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bench_dir=${KORVEL_BENCH_DIR:-$root/build-bench}
workloads=${KORVEL_WORKLOADS:-}
timeout_s=${KORVEL_BENCH_TIMEOUT:-1800}
only=
do_build=1
do_install=1
started=
start_load=

# Run records, by run id: label, wall seconds, peak kB, CPU share, CPU seconds (user and system),
# status, why it failed, frames and bytes written, korvel's own time breakdown.
declare -A run_label run_wall run_rss run_cpu run_cpu_s run_ok run_why run_frames run_bytes run_stats
# Workload presets as make_workload --list gives them; wl_step is set only for a workload whose
# windows overlap (otherwise a window moves by its L).
declare -A wl_frames wl_width wl_height wl_depth wl_layers wl_step wl_ready

note() { printf 'compare: %s\n' "$*" >&2; }

# ---- numbers ------------------------------------------------------------------------------------

# Seconds from GNU time's "h:mm:ss" or "m:ss.ss".
clock_seconds() {
    awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; printf "%.2f\n", s }' <<<"$1"
}

# time_fields FILE: the wall seconds, peak resident kB, CPU percent and CPU seconds (user plus
# system) of a `time -v` report.
time_fields() {
    local wall rss cpu cpu_s
    wall=$(sed -n 's/.*Elapsed (wall clock) time[^:]*: *//p' "$1" | tail -n1)
    rss=$(sed -n 's/.*Maximum resident set size (kbytes): *//p' "$1" | tail -n1)
    cpu=$(sed -n 's/.*Percent of CPU this job got: *\([0-9?]*\)%.*/\1/p' "$1" | tail -n1)
    cpu_s=$(awk -F': *' '/^[[:space:]]*(User|System) time \(seconds\)/ { s += $2; n++ }
        END { if (n) printf "%.2f\n", s; else print "?" }' "$1")
    [ -n "$wall" ] && [ -n "$rss" ] || return 1
    printf '%s %s %s %s\n' "$(clock_seconds "$wall")" "$rss" "${cpu:-?}" "$cpu_s"
}

# ratio A B: A / B with two decimals.
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f\n", a / b; else print "inf" }'; }
# at_least X Y: succeeds when X >= Y.
at_least() { awk -v x="$1" -v y="$2" 'BEGIN { exit !(x >= y) }'; }
# within_share A B SHARE: succeeds when the larger of A and B exceeds the smaller by SHARE at most.
within_share() {
    awk -v a="$1" -v b="$2" -v s="$3" 'BEGIN {
        lo = a < b ? a : b; hi = a < b ? b : a; exit !(lo > 0 && hi <= lo * (1 + s)) }'
}
mib() { awk -v k="$1" 'BEGIN { printf "%.1f MiB\n", k / 1024 }'; }
frames_text() { if [ "$1" = 1 ]; then echo "1 frame"; else echo "$1 frames"; fi; }
bytes_mib() { awk -v b="$1" 'BEGIN { printf "%.2f MiB\n", b / 1048576 }'; }
# window_outputs FRAMES L STEP: how many windows of L inputs, each STEP inputs after the one
# before, fit in FRAMES inputs: one output frame each.
window_outputs() { awk -v f="$1" -v l="$2" -v s="$3" 'BEGIN { print f < l ? 0 : int((f - l) / s) + 1 }'; }

# The one line of a failed program's error output worth showing: the program's name, quoted file
# names and source locations trimmed ("convert-im6.q16: cache resources exhausted `/x/0001.png'
# @ error/cache.c/OpenPixelCache/4095." becomes "cache resources exhausted").
failure_reason() {
    grep -v '^[[:space:]]*$' "$1" 2>/dev/null | grep -vi '^command exited\|deprecated' | head -n1 |
        sed -e 's/^[^ :]*: //' -e "s/ \`[^']*'//g" -e 's/ @ [^ ]*$//' -e 's/[.[:space:]]*$//' |
        cut -c1-100
}

# ---- timed runs ---------------------------------------------------------------------------------

# output_size DIR: the frames and bytes a run left in DIR, its PNG files or the clip out.mkv or
# out.mp4. A clip's frames are counted as its picture's packets, without decoding them: each
# holds one frame.
output_size() {
    local clip
    for clip in "$1/out.mkv" "$1/out.mp4"; do
        [ -f "$clip" ] || continue
        local frames
        frames=$("$ffprobe_bin" -v error -count_packets -select_streams v:0 \
            -show_entries stream=nb_read_packets -of csv=p=0 "$clip" 2>/dev/null)
        [[ $frames =~ ^[0-9]+$ ]] || frames=0
        printf '%s %s\n' "$frames" "$(stat -c %s "$clip")"
        return
    done
    find "$1" -maxdepth 1 -name '*.png' -printf '%s\n' | awk '{ n++; s += $1 } END { print n + 0, s + 0 }'
}

# timed_run ID LABEL EXPECTED_FRAMES OUTPUT_DIR COMMAND...: runs COMMAND under time -v and the
# timeout with a fresh OUTPUT_DIR, and records how it went. A run succeeds when the command exits 0
# and OUTPUT_DIR then holds exactly EXPECTED_FRAMES frames.
timed_run() {
    local id=$1 label=$2 expected=$3 out=$4
    shift 4
    local logs=$bench_dir/logs
    mkdir -p "$logs"
    rm -rf "$out" && mkdir -p "$out"
    run_label[$id]=$label
    note "timing $label"
    "$time_bin" -v -o "$logs/$id.time" timeout -k 10 "$timeout_s" "$@" \
        >"$logs/$id.out" 2>"$logs/$id.err" </dev/null
    local status=$? fields
    if ! fields=$(time_fields "$logs/$id.time"); then
        run_ok[$id]=0
        run_why[$id]="could not be timed (status $status)"
        return
    fi
    read -r "run_wall[$id]" "run_rss[$id]" "run_cpu[$id]" "run_cpu_s[$id]" <<<"$fields"
    read -r "run_frames[$id]" "run_bytes[$id]" < <(output_size "$out")
    run_ok[$id]=0
    if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
        run_why[$id]="stopped after the ${timeout_s} s limit"
    elif [ "$status" -ne 0 ]; then
        local why
        why=$(failure_reason "$logs/$id.err")
        run_why[$id]="exit status $status${why:+: $why}"
    elif [ "${run_frames[$id]}" -ne "$expected" ]; then
        run_why[$id]="wrote $(frames_text "${run_frames[$id]}") instead of $expected"
    else
        run_ok[$id]=1
    fi
    note "  ${run_wall[$id]} s, $(mib "${run_rss[$id]}")${run_why[$id]:+, failed: ${run_why[$id]}}"
}

# Marks a run that could not even start.
skipped_run() {
    run_label[$1]=$2
    run_ok[$1]=0
    run_why[$1]=$3
}

# The input frames of a workload, in the order of the folder's sorted listing.
input_frames() { LC_ALL=C find "$1" -maxdepth 1 -name '*.png' | LC_ALL=C sort; }

# Reads a workload's files once so that no run pays for the first disk read alone.
warm_cache() { find "$1" -maxdepth 1 -type f -print0 | xargs -0r cat >/dev/null; }

# A run's ID starts with its workload's name ("trail.l100"), whose input count and window step give
# the frames the run must write. It reads an INPUT, a folder of frames or a clip in one
# ("clip/footage.mp4"), and writes an OUTPUT: "frames", PNG files in the run's folder, or "clip",
# the FFV1 clip out.mkv in it.
run_workload() { echo "${1%%.*}"; }
# run_outputs ID LAYERS: the frames a run of that workload with windows of LAYERS inputs writes.
run_outputs() {
    local name
    name=$(run_workload "$1")
    window_outputs "${wl_frames[$name]}" "$2" "${wl_step[$name]:-$2}"
}
output_path() { # ID OUTPUT: frames, clip (FFV1) or mp4 (H.264 with the input's sound)
    case "$2" in
    clip) echo "$bench_dir/out/$1/out.mkv" ;;
    mp4) echo "$bench_dir/out/$1/out.mp4" ;;
    *) echo "$bench_dir/out/$1/" ;;
    esac
}

# korvel-render, quiet, with OPTIONS from INPUT to OUTPUT, which must then hold EXPECTED frames.
korvel_timed() { # ID LABEL EXPECTED INPUT OUTPUT OPTIONS...
    local id=$1 label=$2 expected=$3 input=$4 output=$5
    shift 5
    if [ ! -x "$render" ]; then
        skipped_run "$id" "$label" "korvel-render was not built"
        return
    fi
    timed_run "$id" "$label" "$expected" "$bench_dir/out/$id" \
        "$render" -q "$@" "$workloads/$input" "$(output_path "$id" "$output")"
    run_stats[$id]=$(grep -o 'decode [0-9.]* s, composite [0-9.]* s, encode [0-9.]* s' \
        "$bench_dir/logs/$id.err" 2>/dev/null | tail -n1)
}

korvel_run() { # ID LABEL THREADS LAYERS INPUT OUTPUT [EXTRA...]
    local id=$1 label=$2 threads=$3 layers=$4 input=$5 output=$6 step
    shift 6
    step=${wl_step[$(run_workload "$id")]:-}
    korvel_timed "$id" "$label" "$(run_outputs "$id" "$layers")" "$input" "$output" \
        -l "$layers" ${step:+--step "$step"} -j "$threads" "$@"
}

# ImageMagick: one convert per output frame over its group of L files, all timed together.
magick_run() { # ID LABEL WORKLOAD LAYERS
    local id=$1 label=$2 name=$3 layers=$4
    if ! command -v "$convert_bin" >/dev/null; then
        skipped_run "$id" "$label" "ImageMagick is not installed"
        return
    fi
    local script=$bench_dir/logs/$id.sh out=$bench_dir/out/$id files g
    mapfile -t files < <(input_frames "$workloads/$name")
    mkdir -p "$bench_dir/logs"
    {
        echo 'set -e'
        for ((g = 0; g < ${#files[@]} / layers; g++)); do
            printf '%q ' "$convert_bin" "${files[@]:g*layers:layers}" -evaluate-sequence mean \
                "$out/$(printf '%04d' $((g + 1))).png"
            echo
        done
    } >"$script"
    timed_run "$id" "$label" $((${#files[@]} / layers)) "$out" bash "$script"
}

# ffmpeg_reading INPUT: sets ffmpeg_command to ffmpeg, quiet, reading INPUT: a folder's frames at
# 30 per second, the rate the clips are made at, or a clip at its own rate.
ffmpeg_reading() {
    ffmpeg_command=("$ffmpeg_bin" -nostdin -hide_banner -loglevel error -y)
    if [ -d "$workloads/$1" ]; then
        ffmpeg_command+=(-framerate 30 -pattern_type glob -i "$workloads/$1/*.png")
    else
        ffmpeg_command+=(-i "$workloads/$1")
    fi
}

# ffmpeg_select L STEP: the select expression that keeps, of tmix's output, the frames that end a
# window korvel-render writes. tmix averages the last L frames at every frame (fewer before the
# L-th), so these are frames L, L + STEP, L + 2 STEP, ... counted from 1.
ffmpeg_select() {
    if [ "$2" = "$1" ]; then
        echo "not(mod(n+1\\,$1))"
    elif [ "$2" = 1 ]; then
        echo "gte(n\\,$(($1 - 1)))"
    else
        echo "gte(n\\,$(($1 - 1)))*not(mod(n+1-$1\\,$2))"
    fi
}

# ffmpeg: the workload's window in tmix and select, as many frames as korvel-render writes. A clip
# is FFV1, as korvel's .mkv is.
ffmpeg_run() { # ID LABEL INPUT OUTPUT [ENCODER OPTIONS...]
    local id=$1 label=$2 input=$3 output=$4 name layers
    shift 4
    name=$(run_workload "$id")
    layers=${wl_layers[$name]}
    if ! command -v "$ffmpeg_bin" >/dev/null; then
        skipped_run "$id" "$label" "ffmpeg is not installed"
        return
    fi
    local target=("$bench_dir/out/$id/%04d.png")
    [ "$output" = clip ] && target=(-c:v ffv1 "$(output_path "$id" clip)")
    [ "$output" = mp4 ] &&
        target=(-c:v libx264 -crf 18 -pix_fmt yuv420p -c:a copy "$(output_path "$id" mp4)")
    ffmpeg_reading "$input"
    timed_run "$id" "$label" "$(run_outputs "$id" "$layers")" "$bench_dir/out/$id" \
        "${ffmpeg_command[@]}" \
        -vf "tmix=frames=$layers,select='$(ffmpeg_select "$layers" "${wl_step[$name]:-$layers}")'" \
        -fps_mode vfr "$@" "${target[@]}"
}

measure_sprite() {
    local t=$threads l=${wl_layers[sprite]}
    warm_cache "$workloads/sprite"
    korvel_run sprite.all "korvel-render -j $t (all threads)" "$t" "$l" sprite frames
    korvel_run sprite.one "korvel-render -j 1" 1 "$l" sprite frames
    magick_run sprite.magick "ImageMagick convert -evaluate-sequence mean" sprite "$l"
    ffmpeg_run sprite.ffmpeg "ffmpeg tmix (default PNG settings)" sprite frames
    korvel_run sprite.l10 "korvel-render -j $t, L = 10" "$t" 10 sprite frames
    korvel_run sprite.l200 "korvel-render -j $t, L = 200" "$t" 200 sprite frames
}

measure_footage() {
    local t=$threads l=${wl_layers[footage]}
    warm_cache "$workloads/footage"
    korvel_run footage.all "korvel-render -j $t (all threads)" "$t" "$l" footage frames
    korvel_run footage.one "korvel-render -j 1" 1 "$l" footage frames "${stats_option[@]}"
    magick_run footage.magick "ImageMagick convert -evaluate-sequence mean" footage "$l"
    # ImageMagick holds every layer of a group in its pixel cache; Debian's default policy caps
    # that cache near 64 such frames, which L = 100 (the window's default) passes.
    korvel_run footage.l100 "korvel-render -j $t, L = 100" "$t" 100 footage frames
    magick_run footage.magick100 "ImageMagick convert -evaluate-sequence mean, L = 100" footage 100
    ffmpeg_run footage.ffmpeg "ffmpeg tmix (default PNG settings)" footage frames
    ffmpeg_run footage.ffmpeg9 "ffmpeg tmix, -compression_level 9 -pred none" footage frames \
        -compression_level 9 -pred none
}

# The same jobs from the clips, korvel's each beside ffmpeg's. A clip is one stream decoded in
# order, where a folder's files are decoded side by side; L = 120 checks that memory stays flat
# in L all the same.
measure_clip() {
    local t=$threads l=${wl_layers[clip]} h264=clip/footage.mp4 ffv1=clip/footage-ffv1.mkv
    warm_cache "$workloads/clip"
    korvel_run clip.all "korvel-render -j $t, H.264 to PNG frames" "$t" "$l" "$h264" frames \
        "${stats_option[@]}"
    ffmpeg_run clip.ffmpeg "ffmpeg tmix, H.264 to PNG frames" "$h264" frames
    korvel_run clip.mkv "korvel-render -j $t, H.264 to FFV1 clip" "$t" "$l" "$h264" clip
    ffmpeg_run clip.ffmpeg.mkv "ffmpeg tmix, H.264 to FFV1 clip" "$h264" clip
    korvel_run clip.ffv1 "korvel-render -j $t, FFV1 to FFV1 clip" "$t" "$l" "$ffv1" clip
    ffmpeg_run clip.ffmpeg.ffv1 "ffmpeg tmix, FFV1 to FFV1 clip" "$ffv1" clip
    korvel_run clip.l120 "korvel-render -j $t, H.264 to PNG frames, L = 120" "$t" 120 "$h264" frames
    # With sound: H.264 and AAC in, H.264 at the same crf out, the sound copied.
    korvel_run clip.sound "korvel-render -j $t, H.264 + AAC to H.264 + AAC" "$t" "$l" \
        clip/footage-sound.mp4 mp4 --crf 18
    ffmpeg_run clip.ffmpeg.sound "ffmpeg tmix, H.264 + AAC to H.264 + AAC" clip/footage-sound.mp4 mp4
}

# The trail's frames as ffmpeg writes them by default, 24-bit, with the level and filter that make
# korvel's at most 10% larger in total, chosen as the fastest to encode. Measured on output
# frames 1 to 10 against ffmpeg's 32.9 MB: level 1 with "sub" is 0.65x (0.53 s of encoding for
# the 10 frames on one thread), "up" and "paeth" 0.67x, "adaptive" 0.62x but 25% slower, no
# filter 1.04x and 60% slower; levels 2 to 6 save 2 to 8% more for twice the encoding or more.
# On all 211 frames level 1 with "sub" is 0.64x (427 MiB against ffmpeg's 662 MiB).
trail_png=(--format rgb --compression 1 --png-filter sub)

# A mean of L frames moved by one input: each output costs korvel one layer in and one out,
# whatever L is, where tmix sums all L again. L = 100 checks that the cost stays flat in L.
measure_trail() {
    local t=$threads l=${wl_layers[trail]}
    warm_cache "$workloads/footage"
    korvel_run trail.all "korvel-render -j $t, L = $l, --weights equal" "$t" "$l" footage frames \
        --weights equal "${trail_png[@]}" "${stats_option[@]}"
    korvel_run trail.l100 "korvel-render -j $t, L = 100, --weights equal" "$t" 100 footage frames \
        --weights equal "${trail_png[@]}"
    ffmpeg_run trail.ffmpeg "ffmpeg tmix (default PNG settings)" footage frames
}

# The footage clip taken as a 240 fps capture and blurred by time into 60 fps frames, each exposed
# for half its interval (180°) around its time: korvel averages the two inputs under each
# exposure; ffmpeg's nearest is tmix averaging each input with the one before and fps=60 keeping
# every fourth, after setpts has retimed the clip to 240 fps. At 360° korvel averages four inputs,
# which must not take more memory. Both write 24-bit frames, korvel with the trail's PNG settings,
# which make frames like these about the size ffmpeg makes them.
shutter_rate=240
# shutter_outputs FRAMES DEGREES: the 60 fps frames whose centred exposure lies within FRAMES
# inputs at 240 fps: counted in inputs, frame n shows at 4 n and its exposure reaches E / 2 =
# DEGREES / 180 either side.
shutter_outputs() {
    awk -v f="$1" -v d="$2" 'BEGIN { h = d / 180; first = int(h / 4); if (first * 4 < h) first++
        last = int((f - h) / 4); print last < first ? 0 : last - first + 1 }'
}

shutter_run() { # ID LABEL THREADS DEGREES [EXTRA...]
    local id=$1 label=$2 threads=$3 degrees=$4
    shift 4
    korvel_timed "$id" "$label" "$(shutter_outputs "${wl_frames[shutter]}" "$degrees")" \
        clip/footage.mp4 frames -j "$threads" --in-fps "$shutter_rate" --out-fps 60 \
        --shutter "$degrees" "${trail_png[@]}" "$@"
}

measure_shutter() {
    local t=$threads
    warm_cache "$workloads/clip"
    shutter_run shutter.all "korvel-render -j $t, 240 to 60 fps at 180°" "$t" 180 \
        "${stats_option[@]}"
    shutter_run shutter.360 "korvel-render -j $t, 240 to 60 fps at 360°" "$t" 360
    if ! command -v "$ffmpeg_bin" >/dev/null; then
        skipped_run shutter.ffmpeg "ffmpeg tmix=frames=2,fps=60" "ffmpeg is not installed"
        return
    fi
    ffmpeg_reading clip/footage.mp4
    timed_run shutter.ffmpeg "ffmpeg tmix=frames=2,fps=60 (default PNG settings)" \
        $((wl_frames[shutter] / 4)) "$bench_dir/out/shutter.ffmpeg" "${ffmpeg_command[@]}" \
        -vf "setpts=N/($shutter_rate*TB),tmix=frames=2,fps=60" "$bench_dir/out/shutter.ffmpeg/%04d.png"
}

# ---- the report ---------------------------------------------------------------------------------

machine_line() {
    local cpu cores mem os
    cpu=$(sed -n 's/^model name[[:space:]]*: *//p' /proc/cpuinfo 2>/dev/null | head -n1)
    cores=$(grep -c '^processor' /proc/cpuinfo 2>/dev/null)
    mem=$(awk '/^MemTotal:/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo 2>/dev/null)
    os=$(sed -n 's/^PRETTY_NAME="*\([^"]*\)"*$/\1/p' /etc/os-release 2>/dev/null)
    # The load at the start shows whether other work shared the cores during the runs.
    printf '%s, %s logical cores (%s used for "all threads"), %s memory; %s, Linux %s; %s; load average %s at the start\n' \
        "${cpu:-unknown CPU}" "${cores:-?}" "$threads" "${mem:-?}" "${os:-unknown system}" \
        "$(uname -r)" "$started" "$start_load"
}

tools_line() {
    local korvel magick ff commit
    korvel=$("$render" --version 2>/dev/null | head -n1)
    magick=$("$convert_bin" -version 2>/dev/null | sed -n 's/^Version: \(ImageMagick [^ ]* [^ ]*\).*/\1/p')
    ff=$("$ffmpeg_bin" -version 2>/dev/null | awk 'NR == 1 { print "ffmpeg " $3 }')
    commit=$(git -C "$root" rev-parse --short HEAD 2>/dev/null)
    [ -n "$(git -C "$root" status --porcelain 2>/dev/null)" ] && commit="$commit with local changes"
    printf '%s (Release build of %s), %s, %s\n' "${korvel:-korvel-render ?}" "${commit:-?}" \
        "${magick:-ImageMagick not installed}" "${ff:-ffmpeg not installed}"
}

# One table row; ratios against BASE_ID, a korvel-render run.
table_row() { # ID BASE_ID
    local id=$1 base=$2
    local label=${run_label[$id]:-$id}
    if [ -z "${run_wall[$id]:-}" ]; then
        printf '| %s | — | — | — | %s | — | — |\n' "$label" "not run: ${run_why[$id]:-skipped}"
        return
    fi
    local wall="${run_wall[$id]} s" rss cpu output speed="—" memory="—"
    rss=$(mib "${run_rss[$id]}")
    cpu="${run_cpu_s[$id]:-?} s, ${run_cpu[$id]}%"
    if [ "${run_ok[$id]}" = 1 ]; then
        output="$(frames_text "${run_frames[$id]}"), $(bytes_mib "${run_bytes[$id]}")"
        if [ "${run_ok[$base]:-0}" = 1 ]; then
            speed="$(ratio "${run_wall[$id]}" "${run_wall[$base]}")x"
            memory="$(ratio "${run_rss[$id]}" "${run_rss[$base]}")x"
        fi
    else
        output="failed: ${run_why[$id]:-?}"
    fi
    printf '| %s | %s | %s | %s | %s | %s | %s |\n' "$label" "$wall" "$rss" "$cpu" "$output" \
        "$speed" "$memory"
}

# The table of one workload: a row per run ID, or ID=BASE_ID for a run to compare with another
# korvel-render run than the all-threads one.
workload_table() { # NAME ROWS...
    local name=$1 layers=${wl_layers[$1]} step=${wl_step[$1]:-}
    shift
    runs_table "$name" "L = $layers${step:+, step $step} ($(window_outputs "${wl_frames[$name]}" \
        "$layers" "${step:-$layers}") output frames)" "$@"
}

# The same with the workload's SETTING described in words after its frames.
runs_table() { # NAME SETTING ROWS...
    local name=$1 setting=$2
    shift 2
    local colour=RGBA
    [ "${wl_depth[$name]}" = 24 ] && colour=RGB
    printf '\n## %s: %s frames of %s x %s %s, %s\n\n' "$name" "${wl_frames[$name]}" \
        "${wl_width[$name]}" "${wl_height[$name]}" "$colour" "$setting"
    if [ "${wl_ready[$name]:-0}" != 1 ]; then
        echo "Not measured: its inputs could not be made."
        return
    fi
    echo '| run | wall time | peak memory | CPU time, share | output | time ÷ korvel all threads | memory ÷ korvel all threads |'
    echo '|---|--:|--:|--:|---|--:|--:|'
    local row
    for row in "$@"; do
        if [[ $row == *=* ]]; then table_row "${row%%=*}" "${row#*=}"; else table_row "$row" "$name.all"; fi
    done
}

# time_shares ID: korvel's time split from the run's --stats line.
time_shares() {
    local line=${run_stats[$1]:-}
    if [ -z "$line" ]; then
        printf '\nTime shares: not available (korvel-render has no --stats, or the run failed).\n'
        return
    fi
    awk -v line="$line" -v label="${run_label[$1]}" 'BEGIN {
        split(line, f, /[ ,]+/); d = f[2]; c = f[5]; e = f[8]; t = d + c + e
        if (t <= 0) { print "\nTime shares: korvel-render reported no time."; exit }
        printf "\nWhere %s spends its time: decoding %.0f%%, compositing %.0f%%, encoding %.0f%% (%s).\n", label, 100 * d / t, 100 * c / t, 100 * e / t, line }'
}

verdicts=()
failed_targets=0

# verdict PASSED TEXT
verdict() {
    if [ "$1" = 1 ]; then verdicts+=("- PASS $2"); else
        verdicts+=("- FAIL $2")
        failed_targets=$((failed_targets + 1))
    fi
}

# measure FIELD VALUE: a run's wall (seconds), rss (kB) or bytes as the report shows it.
measure() {
    case "$1" in wall) echo "$2 s" ;; rss) mib "$2" ;; bytes) bytes_mib "$2" ;; esac
}

# ratio_target FIELD WORKLOAD ID_A ID_B BOUND LIMIT WHAT: run A's FIELD (wall, rss or bytes)
# divided by run B's is "at least" or "at most" (BOUND) LIMIT, judged as rounded in the report.
ratio_target() {
    local field=$1 name=$2 a=$3 b=$4 bound=$5 limit=$6 what=$7
    local -n values=run_$field
    if [ "${run_ok[$a]:-0}" != 1 ] || [ "${run_ok[$b]:-0}" != 1 ]; then
        local missing=$a
        [ "${run_ok[$b]:-0}" != 1 ] && missing=$b
        verdict 0 "$name: $what $bound ${limit}x — ${run_label[$missing]:-$missing} did not finish (${run_why[$missing]:-not run})"
        return
    fi
    local r passed=0
    r=$(ratio "${values[$a]}" "${values[$b]}")
    if [ "$bound" = "at least" ]; then at_least "$r" "$limit"; else at_least "$limit" "$r"; fi && passed=1
    verdict "$passed" "$name: $what ${r}x ($(measure "$field" "${values[$a]}") against $(measure "$field" "${values[$b]}"); target $bound ${limit}x)"
}

# faster_target WORKLOAD SLOW_ID FAST_ID MINIMUM WHAT: FAST at least MINIMUM times faster.
faster_target() { ratio_target wall "$1" "$2" "$3" "at least" "$4" "$5"; }

same_bytes_target() { # WORKLOAD
    local name=$1
    if [ "${run_ok[$name.one]:-0}" = 1 ] && [ "${run_ok[$name.all]:-0}" = 1 ] &&
        diff -rq "$bench_dir/out/$name.one" "$bench_dir/out/$name.all" >/dev/null; then
        verdict 1 "$name: 1 thread and all threads wrote the same bytes"
    else
        verdict 0 "$name: 1 thread and all threads wrote the same bytes — they differ or a run failed"
    fi
}

# flat_memory_target WORKLOAD ID_A L_A ID_B L_B PERCENT [SETTING]: the peaks of two runs at
# different L (or SETTING) within PERCENT of each other.
flat_memory_target() {
    local name=$1 a=$2 la=$3 b=$4 lb=$5 percent=$6 setting=${7:-L}
    if [ "${run_ok[$a]:-0}" != 1 ] || [ "${run_ok[$b]:-0}" != 1 ]; then
        verdict 0 "$name: peak memory within $percent% between $setting = $la and $setting = $lb — a run failed"
        return
    fi
    local passed=0
    within_share "${run_rss[$a]}" "${run_rss[$b]}" "$(awk -v p="$percent" 'BEGIN { print p / 100 }')" &&
        passed=1
    verdict "$passed" "$name: peak memory $(mib "${run_rss[$a]}") at $setting = $la and $(mib "${run_rss[$b]}") at $setting = $lb (target within $percent%)"
}

sprite_targets() {
    faster_target sprite sprite.one sprite.all 1.7 "all threads faster than 1 thread by"
    faster_target sprite sprite.magick sprite.all 4 "korvel faster than ImageMagick by"
    faster_target sprite sprite.ffmpeg sprite.all 8 "korvel faster than ffmpeg by"
    same_bytes_target sprite
    flat_memory_target sprite sprite.l10 10 sprite.l200 200 10
}

footage_targets() {
    faster_target footage footage.one footage.all 1.7 "all threads faster than 1 thread by"
    finishes_target footage.all footage.magick "L = ${wl_layers[footage]}" ||
        finishes_target footage.l100 footage.magick100 "L = 100" ||
        verdict 0 "footage: korvel finishes where ImageMagick cannot — ImageMagick finished at L = ${wl_layers[footage]} and at L = 100, or korvel did not"
    faster_target footage footage.ffmpeg footage.all 5 "korvel faster than ffmpeg by"
    faster_target footage footage.ffmpeg9 footage.all 5 "korvel faster than ffmpeg at the same output settings by"
    same_bytes_target footage
}

clip_targets() {
    faster_target clip clip.ffmpeg clip.all 2 "korvel faster than ffmpeg from H.264 to PNG frames by"
    faster_target clip clip.ffmpeg.mkv clip.mkv 2 "korvel faster than ffmpeg from H.264 to an FFV1 clip by"
    flat_memory_target clip clip.all "${wl_layers[clip]}" clip.l120 120 25
    faster_target clip clip.ffmpeg.sound clip.sound 2 "korvel faster than ffmpeg from H.264 with sound to H.264 with sound by"
}

shutter_targets() {
    faster_target shutter shutter.ffmpeg shutter.all 2 "korvel faster than ffmpeg's tmix and fps by"
    flat_memory_target shutter shutter.all 180° shutter.360 360° 10 shutter
    ratio_target bytes shutter shutter.all shutter.ffmpeg "at most" 1.10 "korvel's frames' total size over ffmpeg's:"
}

trail_targets() {
    local l=${wl_layers[trail]}
    faster_target trail trail.ffmpeg trail.all 3.5 "korvel faster than ffmpeg by"
    ratio_target rss trail trail.ffmpeg trail.all "at least" 4 "korvel's peak memory smaller than ffmpeg's by"
    # L = 100 has 70 more inputs to take in before its first frame but 70 fewer frames to encode;
    # the 10% is for runs on a shared machine, which vary by some percent from one to the next,
    # where a cost growing with L (summing every window anew) would take more than twice as long.
    ratio_target wall trail trail.l100 trail.all "at most" 1.10 "wall time at L = 100 over L = $l:"
    ratio_target bytes trail trail.all trail.ffmpeg "at most" 1.10 "korvel's frames' total size over ffmpeg's:"
}

# CPU time beside the wall time, which another job on the machine stretches (information).
trail_cpu_times() {
    local id
    for id in trail.all trail.l100 trail.ffmpeg; do
        [ "${run_ok[$id]:-0}" = 1 ] || continue
        printf -- '- INFO trail: %s took %s s of CPU time in %s s, %s per output frame\n' \
            "${run_label[$id]}" "${run_cpu_s[$id]}" "${run_wall[$id]}" \
            "$(awk -v c="${run_cpu_s[$id]}" -v n="${run_frames[$id]}" 'BEGIN { printf "%.0f ms", 1000 * c / n }')"
    done
}

# finishes_target KORVEL_ID MAGICK_ID SETTING: passes when korvel finished the footage where
# ImageMagick gave up; fails silently otherwise, so that the caller can try another setting.
finishes_target() {
    local korvel=$1 magick=$2 setting=$3
    [ "${run_ok[$korvel]:-0}" = 1 ] && [ "${run_ok[$magick]:-0}" != 1 ] &&
        [ -n "${run_wall[$magick]:-}" ] || return 1
    verdict 1 "footage: korvel finishes where ImageMagick cannot at $setting (ImageMagick: ${run_why[$magick]:-?})"
}

# Peak memory of the all-threads run in decoded frames of that size (information, no target).
memory_in_frames() { # WORKLOAD
    local name=$1
    [ "${run_ok[$name.all]:-0}" = 1 ] || return 0
    awk -v kb="${run_rss[$name.all]}" -v w="${wl_width[$name]}" -v h="${wl_height[$name]}" \
        -v d="${wl_depth[$name]}" -v t="$threads" -v n="$name" 'BEGIN {
        frame = w * h * d / 8 / 1024
        printf "- INFO %s: peak memory of the all-threads run is %.1f decoded frames of %.1f MiB (read-ahead bound about 2 + 2 x %d threads = %d frames, plus canvases being encoded)\n", n, kb / frame, frame / 1024, t, 2 + 2 * t }'
}

write_report() {
    echo "# Korvel side by side"
    echo
    echo "Machine: $(machine_line)"
    echo
    echo "Tools: $(tools_line)"
    echo
    echo "Each run is one \`/usr/bin/time -v\` measurement (wall time, peak resident memory, CPU share)"
    echo "with the inputs already in the page cache. ImageMagick runs one \`convert\` per output frame"
    echo "and its time is their sum; ffmpeg averages with \`tmix\` and keeps every L-th frame. Ratios"
    echo "above 1 mean korvel-render with all threads (at the same L, from and to the same kind of"
    echo "input and output) was faster or smaller."
    if selected sprite; then
        workload_table sprite sprite.all sprite.one sprite.magick sprite.ffmpeg sprite.l10 sprite.l200
    fi
    if selected footage; then
        workload_table footage footage.all footage.one footage.magick footage.ffmpeg \
            footage.ffmpeg9 footage.l100 footage.magick100=footage.l100
        time_shares footage.one
    fi
    if selected clip; then
        workload_table clip clip.all clip.ffmpeg clip.mkv clip.ffmpeg.mkv=clip.mkv clip.ffv1 \
            clip.ffmpeg.ffv1=clip.ffv1 clip.l120 clip.sound clip.ffmpeg.sound=clip.sound
        echo
        echo "The footage's frames as clips at 30 fps: footage.mp4 in H.264 (libx264 -crf 18, 4:2:0)"
        echo "and footage-ffv1.mkv in FFV1; a clip output is FFV1 in .mkv for both programs."
        time_shares clip.all
    fi
    if selected shutter; then
        runs_table shutter "read as 240 fps, into 60 fps frames exposed at 180° around their times ($(shutter_outputs "${wl_frames[shutter]}" 180) output frames)" \
            shutter.all shutter.360 shutter.ffmpeg
        echo
        echo "The footage's H.264 clip taken as a capture at 240 frames per second (korvel's --in-fps 240,"
        echo "ffmpeg's setpts=N/(240*TB)); ffmpeg averages each frame with the one before and keeps every"
        echo "fourth. korvel-render writes 24-bit PNG files at ${trail_png[*]}, ffmpeg with its"
        echo "defaults."
        time_shares shutter.all
    fi
    if selected trail; then
        workload_table trail trail.all trail.l100 trail.ffmpeg
        echo
        echo "Each output frame is the equal-weight mean of L footage frames, the next one a frame later;"
        echo "korvel-render writes 24-bit PNG files at ${trail_png[*]}, ffmpeg with its defaults."
        time_shares trail.all
    fi
    echo
    echo "## Targets"
    echo
    printf '%s\n' "${verdicts[@]}"
    if selected sprite; then memory_in_frames sprite; fi
    if selected footage; then memory_in_frames footage; fi
    if selected trail; then trail_cpu_times; fi
}

# ---- setting up ---------------------------------------------------------------------------------

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; elif command -v sudo >/dev/null; then sudo "$@"; else
        note "installing packages needs root (run as root or install sudo)"
        return 1
    fi
}

install_peers() {
    local missing=() p
    for p in imagemagick ffmpeg time; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    note "installing ${missing[*]}"
    if ! as_root apt-get update -qq ||
        ! as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
            --no-install-recommends "${missing[@]}" >/dev/null; then
        note "could not install ${missing[*]}; the runs that need them are recorded as not run"
    fi
}

build_programs() {
    local build=$bench_dir/build jobs
    jobs=$(nproc 2>/dev/null || echo 2)
    note "building (Release) in $build"
    # Warnings are the everyday builds' business; here they must not keep the programs from
    # being measured (g++ 12 at -O3 reports some that it does not at the usual -O2).
    if ! cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKORVEL_WERROR=OFF \
        >"$bench_dir/cmake.log" 2>&1 ||
        ! cmake --build "$build" --target make_workload --parallel "$jobs" \
            >>"$bench_dir/cmake.log" 2>&1; then
        note "the build failed; see $bench_dir/cmake.log"
        return 1
    fi
    cmake --build "$build" --target korvel-render --parallel "$jobs" >>"$bench_dir/cmake.log" 2>&1 ||
        note "korvel-render did not build (see $bench_dir/cmake.log); its runs are recorded as not run"
}

# Finds the programs: built ones under BENCH_DIR/build unless the environment names others.
locate_programs() {
    local build=$bench_dir/build
    render=${KORVEL_RENDER:-$(find "$build" -type f -name korvel-render -perm -u+x 2>/dev/null | head -n1)}
    generator=${KORVEL_MAKE_WORKLOAD:-$build/bench/make_workload}
    # The Debian package's program, not whatever wrapper comes first in PATH.
    convert_bin=${KORVEL_CONVERT:-/usr/bin/convert}
    [ -x "$convert_bin" ] || convert_bin=$(command -v convert || echo convert)
    ffmpeg_bin=${KORVEL_FFMPEG:-$(command -v ffmpeg || echo ffmpeg)}
    ffprobe_bin=${KORVEL_FFPROBE:-$(command -v ffprobe || echo ffprobe)}
    time_bin=${KORVEL_TIME:-/usr/bin/time}
    threads=${KORVEL_BENCH_THREADS:-$(nproc 2>/dev/null || echo 2)}
    # A build from before --stats is still measured, without the time shares.
    stats_option=()
    "$render" --help 2>&1 | grep -q -- '--stats' && stats_option=(--stats)
}

load_presets() {
    local name frames width height depth layers
    while read -r name frames width height depth layers; do
        wl_frames[$name]=$frames wl_width[$name]=$width wl_height[$name]=$height
        wl_depth[$name]=$depth wl_layers[$name]=$layers
    done < <("$generator" --list)
    [ -n "${wl_frames[sprite]:-}" ] && [ -n "${wl_frames[footage]:-}" ] || return 1
    # The clip workload is the footage read from clips: the same frames, size, depth and L.
    wl_frames[clip]=${wl_frames[footage]} wl_width[clip]=${wl_width[footage]}
    wl_height[clip]=${wl_height[footage]} wl_depth[clip]=${wl_depth[footage]}
    wl_layers[clip]=${wl_layers[footage]}
    # The shutter workload is the footage's clip read at 240 frames per second.
    wl_frames[shutter]=${wl_frames[footage]} wl_width[shutter]=${wl_width[footage]}
    wl_height[shutter]=${wl_height[footage]} wl_depth[shutter]=${wl_depth[footage]}
    # The trail is the footage's frames, its L, and a window moved by one frame.
    wl_frames[trail]=${wl_frames[footage]} wl_width[trail]=${wl_width[footage]}
    wl_height[trail]=${wl_height[footage]} wl_depth[trail]=${wl_depth[footage]}
    wl_layers[trail]=${wl_layers[footage]} wl_step[trail]=1
}

generate() { # NAME
    note "generating $1 into $workloads/$1 (once; later runs reuse it)"
    if "$generator" "$1" "$workloads/$1" >&2; then wl_ready[$1]=1; else note "could not generate $1"; fi
}

# A clip older than the footage's stamp, which make_workload writes last when it paints the frames
# anew, holds frames that are gone.
clip_current() { [ -s "$1" ] && ! [ "$1" -ot "$workloads/footage/.korvel-workload" ]; }

# make_clip CLIP ENCODER_OPTIONS...: encodes the footage into CLIP unless it is current, under
# another name until ffmpeg is done, so that an interrupted encoding is not taken for a clip.
make_clip() {
    local clip=$1 part
    shift
    clip_current "$clip" && return 0
    part=$(dirname "$clip")/partial-$(basename "$clip")
    note "encoding the footage into $clip (once; later runs reuse it)"
    ffmpeg_reading footage
    "${ffmpeg_command[@]}" "$@" "$part" >&2 && mv "$part" "$clip" && return 0
    rm -f "$part"
    note "could not make $clip"
    return 1
}

make_clips() {
    [ "${wl_ready[footage]:-0}" = 1 ] || return
    mkdir -p "$workloads/clip" &&
        make_clip "$workloads/clip/footage.mp4" -c:v libx264 -pix_fmt yuv420p -crf 18 &&
        make_clip "$workloads/clip/footage-ffv1.mkv" -c:v ffv1 &&
        make_clip "$workloads/clip/footage-sound.mp4" -f lavfi -i sine=duration=8 -c:v libx264 \
            -pix_fmt yuv420p -crf 18 -c:a aac -shortest &&
        wl_ready[clip]=1
}

# selected NAME: whether this run measures the workload NAME (every one, unless --only names another).
selected() { [ -z "$only" ] || [ "$only" = "$1" ]; }

parse_arguments() {
    while [ $# -gt 0 ]; do
        case "$1" in
        --bench-dir) bench_dir=${2:?--bench-dir needs a folder} && shift ;;
        --workloads) workloads=${2:?--workloads needs a folder} && shift ;;
        --timeout) timeout_s=${2:?--timeout needs seconds} && shift ;;
        --only) only=${2:?--only needs sprite, footage, clip, trail or shutter} && shift ;;
        --no-build) do_build=0 ;;
        --no-install) do_install=0 ;;
        -h | --help) usage && exit 0 ;;
        *) usage >&2 && exit 2 ;;
        esac
        shift
    done
    case "$only" in "" | sprite | footage | clip | trail | shutter) ;; *) usage >&2 && exit 2 ;; esac
    [[ "$timeout_s" =~ ^[1-9][0-9]*$ ]] || { usage >&2 && exit 2; }
    mkdir -p "$bench_dir" && bench_dir=$(cd "$bench_dir" && pwd)
    workloads=${workloads:-$bench_dir/workloads}
}

main() {
    parse_arguments "$@"
    started=$(date -u '+%Y-%m-%d %H:%M UTC')
    start_load=$(cut -d' ' -f1-3 /proc/loadavg 2>/dev/null)
    [ "$do_install" = 1 ] && install_peers
    if [ "$do_build" = 1 ]; then build_programs || exit 2; fi
    locate_programs
    load_presets || {
        note "$generator --list did not describe the sprite and footage sequences"
        exit 2
    }
    if selected sprite; then generate sprite; fi
    # The clips and the trail are made from the footage's frames.
    if selected footage || selected clip || selected trail || selected shutter; then
        generate footage
    fi
    if selected clip || selected shutter; then make_clips; fi
    wl_ready[trail]=${wl_ready[footage]:-0}
    wl_ready[shutter]=${wl_ready[clip]:-0}
    local name
    for name in sprite footage clip trail shutter; do
        selected "$name" || continue
        [ "${wl_ready[$name]:-0}" = 1 ] && "measure_$name"
        "${name}_targets"
    done
    write_report >"$bench_dir/results.md"
    echo
    cat "$bench_dir/results.md"
    echo
    note "results written to $bench_dir/results.md; logs of every run in $bench_dir/logs"
    [ "$failed_targets" -eq 0 ]
}

# main and exit are read as one command before either runs, so that editing this file during a
# long run (a pull, say) cannot change what the running copy does next.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    main "$@"
    exit
fi
