#!/usr/bin/env bash
# Side-by-side benchmark, run by `./dev.sh bench`: builds korvel-render and the workload generator
# (Release), generates the "sprite" and "footage" sequences once, then times korvel-render with one
# thread and with every thread against ImageMagick and ffmpeg blurring the same frames, each run
# under /usr/bin/time -v, and writes a markdown table with the ratios and a PASS/FAIL line per
# target. A peer that fails or is missing is recorded as such; every run is bounded by a timeout.
set -uo pipefail

usage() {
    cat <<'EOF'
usage: bench/compare.sh [OPTIONS]
Times korvel-render (1 thread and all threads) against ImageMagick and ffmpeg on the "sprite"
(200 frames of 1280 x 720 RGBA, L = 100) and "footage" (240 frames of 1920 x 1080 RGB, L = 30)
sequences and writes BENCH_DIR/results.md (also printed).
  --bench-dir DIR    build, logs, outputs and results (default: build-bench in the checkout)
  --workloads DIR    where the input sequences are generated once (default: BENCH_DIR/workloads)
  --timeout SECONDS  longest any single timed run may take (default: 1800)
  --only NAME        measure only the sprite or only the footage sequence
  --no-build         use the programs already built in BENCH_DIR/build
  --no-install       do not install missing peers (imagemagick, ffmpeg, time) from Debian
  -h, --help         this text
Environment: KORVEL_BENCH_DIR, KORVEL_WORKLOADS and KORVEL_BENCH_TIMEOUT give the defaults of the
options above; KORVEL_RENDER, KORVEL_MAKE_WORKLOAD, KORVEL_CONVERT, KORVEL_FFMPEG and KORVEL_TIME
replace the programs used; KORVEL_BENCH_THREADS is the "all threads" count (default: nproc).
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

# Run records, by run id: label, wall seconds, peak kB, CPU share, status, why it failed, frames
# and bytes written, korvel's own time breakdown.
declare -A run_label run_wall run_rss run_cpu run_ok run_why run_frames run_bytes run_stats
# Workload presets as make_workload --list gives them.
declare -A wl_frames wl_width wl_height wl_depth wl_layers wl_ready

note() { printf 'compare: %s\n' "$*" >&2; }

# ---- numbers ------------------------------------------------------------------------------------

# Seconds from GNU time's "h:mm:ss" or "m:ss.ss".
clock_seconds() {
    awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; printf "%.2f\n", s }' <<<"$1"
}

# time_fields FILE: the wall seconds, peak resident kB and CPU percent of a `time -v` report.
time_fields() {
    local wall rss cpu
    wall=$(sed -n 's/.*Elapsed (wall clock) time[^:]*: *//p' "$1" | tail -n1)
    rss=$(sed -n 's/.*Maximum resident set size (kbytes): *//p' "$1" | tail -n1)
    cpu=$(sed -n 's/.*Percent of CPU this job got: *\([0-9?]*\)%.*/\1/p' "$1" | tail -n1)
    [ -n "$wall" ] && [ -n "$rss" ] || return 1
    printf '%s %s %s\n' "$(clock_seconds "$wall")" "$rss" "${cpu:-?}"
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

# The one line of a failed program's error output worth showing: the program's name, quoted file
# names and source locations trimmed ("convert-im6.q16: cache resources exhausted `/x/0001.png'
# @ error/cache.c/OpenPixelCache/4095." becomes "cache resources exhausted").
failure_reason() {
    grep -v '^[[:space:]]*$' "$1" 2>/dev/null | grep -vi '^command exited\|deprecated' | head -n1 |
        sed -e 's/^[^ :]*: //' -e "s/ \`[^']*'//g" -e 's/ @ [^ ]*$//' -e 's/[.[:space:]]*$//' |
        cut -c1-100
}

# ---- timed runs ---------------------------------------------------------------------------------

# timed_run ID LABEL EXPECTED_FRAMES OUTPUT_DIR COMMAND...: runs COMMAND under time -v and the
# timeout with a fresh OUTPUT_DIR, and records how it went. A run succeeds when the command exits 0
# and OUTPUT_DIR then holds exactly EXPECTED_FRAMES PNG files.
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
    read -r "run_wall[$id]" "run_rss[$id]" "run_cpu[$id]" <<<"$fields"
    run_frames[$id]=$(find "$out" -maxdepth 1 -name '*.png' | wc -l)
    run_bytes[$id]=$(find "$out" -maxdepth 1 -name '*.png' -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')
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

# Reads the inputs once so that no run pays for the first disk read alone.
warm_cache() { input_frames "$1" | xargs -r cat >/dev/null; }

korvel_run() { # ID LABEL THREADS LAYERS WORKLOAD [EXTRA...]
    local id=$1 label=$2 threads=$3 layers=$4 name=$5
    shift 5
    if [ ! -x "$render" ]; then
        skipped_run "$id" "$label" "korvel-render was not built"
        return
    fi
    timed_run "$id" "$label" $((wl_frames[$name] / layers)) "$bench_dir/out/$id" \
        "$render" -q -l "$layers" -j "$threads" "$@" "$workloads/$name/" "$bench_dir/out/$id/"
    run_stats[$id]=$(grep -o 'decode [0-9.]* s, composite [0-9.]* s, encode [0-9.]* s' \
        "$bench_dir/logs/$id.err" 2>/dev/null | tail -n1)
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

# ffmpeg: tmix averages the last L frames at every frame; keeping frames L, 2L, ... leaves one
# average per full group, as many as korvel-render writes.
ffmpeg_run() { # ID LABEL WORKLOAD [ENCODER OPTIONS...]
    local id=$1 label=$2 name=$3 layers=${wl_layers[$3]}
    shift 3
    if ! command -v "$ffmpeg_bin" >/dev/null; then
        skipped_run "$id" "$label" "ffmpeg is not installed"
        return
    fi
    timed_run "$id" "$label" $((wl_frames[$name] / layers)) "$bench_dir/out/$id" \
        "$ffmpeg_bin" -nostdin -hide_banner -loglevel error -y -framerate 30 \
        -pattern_type glob -i "$workloads/$name/*.png" \
        -vf "tmix=frames=$layers,select='not(mod(n+1\\,$layers))'" -fps_mode vfr \
        "$@" "$bench_dir/out/$id/%04d.png"
}

measure_sprite() {
    local t=$threads
    warm_cache "$workloads/sprite"
    korvel_run sprite.all "korvel-render -j $t (all threads)" "$t" "${wl_layers[sprite]}" sprite
    korvel_run sprite.one "korvel-render -j 1" 1 "${wl_layers[sprite]}" sprite
    magick_run sprite.magick "ImageMagick convert -evaluate-sequence mean" sprite "${wl_layers[sprite]}"
    ffmpeg_run sprite.ffmpeg "ffmpeg tmix (default PNG settings)" sprite
    korvel_run sprite.l10 "korvel-render -j $t, L = 10" "$t" 10 sprite
    korvel_run sprite.l200 "korvel-render -j $t, L = 200" "$t" 200 sprite
}

measure_footage() {
    local t=$threads stats=()
    "$render" --help 2>&1 | grep -q -- '--stats' && stats=(--stats)
    warm_cache "$workloads/footage"
    korvel_run footage.all "korvel-render -j $t (all threads)" "$t" "${wl_layers[footage]}" footage
    korvel_run footage.one "korvel-render -j 1" 1 "${wl_layers[footage]}" footage "${stats[@]}"
    magick_run footage.magick "ImageMagick convert -evaluate-sequence mean" footage \
        "${wl_layers[footage]}"
    # ImageMagick holds every layer of a group in its pixel cache; Debian's default policy caps
    # that cache near 64 such frames, which L = 100 (the window's default) passes.
    korvel_run footage.l100 "korvel-render -j $t, L = 100" "$t" 100 footage
    magick_run footage.magick100 "ImageMagick convert -evaluate-sequence mean, L = 100" footage 100
    ffmpeg_run footage.ffmpeg "ffmpeg tmix (default PNG settings)" footage
    ffmpeg_run footage.ffmpeg9 "ffmpeg tmix, -compression_level 9 -pred none" footage \
        -compression_level 9 -pred none
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
    cpu="${run_cpu[$id]}%"
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
    local name=$1
    shift
    local colour=RGBA
    [ "${wl_depth[$name]}" = 24 ] && colour=RGB
    local layers=${wl_layers[$name]}
    printf '\n## %s: %s frames of %s x %s %s, L = %s (%s output frames)\n\n' "$name" \
        "${wl_frames[$name]}" "${wl_width[$name]}" "${wl_height[$name]}" "$colour" "$layers" \
        $((wl_frames[$name] / layers))
    if [ "${wl_ready[$name]:-0}" != 1 ]; then
        echo "Not measured: the sequence could not be generated."
        return
    fi
    echo '| run | wall time | peak memory | CPU | output | time ÷ korvel all threads | memory ÷ korvel all threads |'
    echo '|---|--:|--:|--:|---|--:|--:|'
    local row
    for row in "$@"; do
        if [[ $row == *=* ]]; then table_row "${row%%=*}" "${row#*=}"; else table_row "$row" "$name.all"; fi
    done
}

# footage_shares: korvel's time split from the one-thread run's --stats line.
footage_shares() {
    local line=${run_stats[footage.one]:-}
    if [ -z "$line" ]; then
        printf '\nTime shares: not available (korvel-render has no --stats, or the run failed).\n'
        return
    fi
    awk -v line="$line" 'BEGIN {
        split(line, f, /[ ,]+/); d = f[2]; c = f[5]; e = f[8]; t = d + c + e
        if (t <= 0) { print "\nTime shares: korvel-render reported no time."; exit }
        printf "\nWhere korvel-render -j 1 spends its time on footage: decoding %.0f%%, compositing %.0f%%, encoding %.0f%% (%s).\n", 100 * d / t, 100 * c / t, 100 * e / t, line }'
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

# faster_target WORKLOAD SLOW_ID FAST_ID MINIMUM WHAT: FAST at least MINIMUM times faster.
faster_target() {
    local name=$1 slow=$2 fast=$3 minimum=$4 what=$5
    if [ "${run_ok[$slow]:-0}" != 1 ] || [ "${run_ok[$fast]:-0}" != 1 ]; then
        local missing=$slow
        [ "${run_ok[$fast]:-0}" != 1 ] && missing=$fast
        verdict 0 "$name: $what at least ${minimum}x — ${run_label[$missing]:-$missing} did not finish (${run_why[$missing]:-not run})"
        return
    fi
    local r passed=0
    r=$(ratio "${run_wall[$slow]}" "${run_wall[$fast]}")
    at_least "$r" "$minimum" && passed=1
    verdict "$passed" "$name: $what ${r}x (target at least ${minimum}x)"
}

same_bytes_target() { # WORKLOAD
    local name=$1
    if [ "${run_ok[$name.one]:-0}" = 1 ] && [ "${run_ok[$name.all]:-0}" = 1 ] &&
        diff -rq "$bench_dir/out/$name.one" "$bench_dir/out/$name.all" >/dev/null; then
        verdict 1 "$name: 1 thread and all threads wrote the same bytes"
    else
        verdict 0 "$name: 1 thread and all threads wrote the same bytes — they differ or a run failed"
    fi
}

sprite_targets() {
    faster_target sprite sprite.one sprite.all 1.7 "all threads faster than 1 thread by"
    faster_target sprite sprite.magick sprite.all 4 "korvel faster than ImageMagick by"
    faster_target sprite sprite.ffmpeg sprite.all 8 "korvel faster than ffmpeg by"
    same_bytes_target sprite
    if [ "${run_ok[sprite.l10]:-0}" = 1 ] && [ "${run_ok[sprite.l200]:-0}" = 1 ]; then
        local passed=0
        within_share "${run_rss[sprite.l10]}" "${run_rss[sprite.l200]}" 0.10 && passed=1
        verdict "$passed" "sprite: peak memory $(mib "${run_rss[sprite.l10]}") at L = 10 and $(mib "${run_rss[sprite.l200]}") at L = 200 (target within 10%)"
    else
        verdict 0 "sprite: peak memory within 10% between L = 10 and L = 200 — a run failed"
    fi
}

footage_targets() {
    faster_target footage footage.one footage.all 1.7 "all threads faster than 1 thread by"
    finishes_target footage.all footage.magick "L = ${wl_layers[footage]}" ||
        finishes_target footage.l100 footage.magick100 "L = 100" ||
        verdict 0 "footage: korvel finishes where ImageMagick cannot — ImageMagick finished at L = ${wl_layers[footage]} and at L = 100, or korvel did not"
    faster_target footage footage.ffmpeg footage.all 2 "korvel faster than ffmpeg by"
    faster_target footage footage.ffmpeg9 footage.all 2 "korvel faster than ffmpeg at the same output settings by"
    same_bytes_target footage
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
    echo "above 1 mean korvel-render with all threads (at the same L) was faster or smaller."
    if [ -z "$only" ] || [ "$only" = sprite ]; then
        workload_table sprite sprite.all sprite.one sprite.magick sprite.ffmpeg sprite.l10 sprite.l200
    fi
    if [ -z "$only" ] || [ "$only" = footage ]; then
        workload_table footage footage.all footage.one footage.magick footage.ffmpeg \
            footage.ffmpeg9 footage.l100 footage.magick100=footage.l100
        footage_shares
    fi
    echo
    echo "## Targets"
    echo
    printf '%s\n' "${verdicts[@]}"
    if [ -z "$only" ] || [ "$only" = sprite ]; then memory_in_frames sprite; fi
    if [ -z "$only" ] || [ "$only" = footage ]; then memory_in_frames footage; fi
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
    time_bin=${KORVEL_TIME:-/usr/bin/time}
    threads=${KORVEL_BENCH_THREADS:-$(nproc 2>/dev/null || echo 2)}
}

load_presets() {
    local name frames width height depth layers
    while read -r name frames width height depth layers; do
        wl_frames[$name]=$frames wl_width[$name]=$width wl_height[$name]=$height
        wl_depth[$name]=$depth wl_layers[$name]=$layers
    done < <("$generator" --list)
    [ -n "${wl_frames[sprite]:-}" ] && [ -n "${wl_frames[footage]:-}" ]
}

generate() { # NAME
    note "generating $1 into $workloads/$1 (once; later runs reuse it)"
    if "$generator" "$1" "$workloads/$1" >&2; then wl_ready[$1]=1; else note "could not generate $1"; fi
}

parse_arguments() {
    while [ $# -gt 0 ]; do
        case "$1" in
        --bench-dir) bench_dir=${2:?--bench-dir needs a folder} && shift ;;
        --workloads) workloads=${2:?--workloads needs a folder} && shift ;;
        --timeout) timeout_s=${2:?--timeout needs seconds} && shift ;;
        --only) only=${2:?--only needs sprite or footage} && shift ;;
        --no-build) do_build=0 ;;
        --no-install) do_install=0 ;;
        -h | --help) usage && exit 0 ;;
        *) usage >&2 && exit 2 ;;
        esac
        shift
    done
    case "$only" in "" | sprite | footage) ;; *) usage >&2 && exit 2 ;; esac
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
    local name
    for name in sprite footage; do
        if [ -z "$only" ] || [ "$only" = "$name" ]; then generate "$name"; fi
    done
    if [ -z "$only" ] || [ "$only" = sprite ]; then
        [ "${wl_ready[sprite]:-0}" = 1 ] && measure_sprite
        sprite_targets
    fi
    if [ -z "$only" ] || [ "$only" = footage ]; then
        [ "${wl_ready[footage]:-0}" = 1 ] && measure_footage
        footage_targets
    fi
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
