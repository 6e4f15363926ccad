#!/usr/bin/env bash
# Tests of the side-by-side benchmark driver: its reading of `time -v` reports and error output,
# its verdict arithmetic, and whole runs against stand-in programs that succeed, fail, write the
# wrong number of frames or hang, so that the table and the verdicts are checked without the real
# peers. Usage: compare_test.sh [MAKE_WORKLOAD]; with the real generator its --list is checked too.
# KEEP_SCRATCH=1 keeps the scratch folder (stand-ins, tables, logs) for a look afterwards.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
generator_under_test=${1:+$(realpath "$1")}
# shellcheck source=bench/compare.sh
. "$here/compare.sh"

failures=0
check() { # DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then echo "ok   $what"; else
        echo "FAIL $what"
        failures=$((failures + 1))
    fi
}
equals() { [ "$1" = "$2" ] || { echo "     got '$1', expected '$2'" && return 1; }; }
fails() { ! "$@"; }
contains() { grep -qF -- "$2" "$1" || { echo "     '$2' is not in $1" && return 1; }; }

if [ ! -x /usr/bin/time ]; then
    echo "skipped: GNU time (/usr/bin/time) is not installed"
    exit 77
fi
scratch=$(mktemp -d)
trap '[ -n "${KEEP_SCRATCH:-}" ] || rm -rf "$scratch"' EXIT

# ---- reading reports ----------------------------------------------------------------------------

check "m:ss.ss clock" equals "$(clock_seconds 1:02.50)" 62.50
check "h:mm:ss clock" equals "$(clock_seconds 1:02:03)" 3723.00
check "sub-second clock" equals "$(clock_seconds 0:00.07)" 0.07

/usr/bin/time -v -o "$scratch/sleep.time" sleep 0.3
read -r wall rss cpu cpu_s < <(time_fields "$scratch/sleep.time")
check "wall time of a real report" at_least "$wall" 0.3
check "peak memory of a real report" at_least "$rss" 100
check "CPU share of a real report" test -n "$cpu"
sed -e 's/User time (seconds): .*/User time (seconds): 1.50/' \
    -e 's/System time (seconds): .*/System time (seconds): 0.25/' "$scratch/sleep.time" >"$scratch/cpu.time"
check "CPU time is user plus system time" equals "$(time_fields "$scratch/cpu.time" | cut -d' ' -f4)" 1.75
echo "Command exited with non-zero status 1" >"$scratch/broken.time"
check "a report without the fields is refused" fails time_fields "$scratch/broken.time"

printf '\nconvert-im6.q16: cache resources exhausted `/w/footage/0001.png'"'"' @ error/cache.c/OpenPixelCache/4095.\n' \
    >"$scratch/magick.err"
check "ImageMagick's reason without paths and source location" \
    equals "$(failure_reason "$scratch/magick.err")" "cache resources exhausted"
printf 'Command exited with non-zero status 1\n/in/x.png: Invalid data found when processing input\n' \
    >"$scratch/ffmpeg.err"
check "a path-prefixed ffmpeg error keeps its text" \
    equals "$(failure_reason "$scratch/ffmpeg.err")" "Invalid data found when processing input"

# ---- verdict arithmetic -------------------------------------------------------------------------

check "1.70 meets at least 1.7" at_least 1.70 1.7
check "1.69 misses at least 1.7" fails at_least 1.69 1.7
check "ratio rounds to two decimals" equals "$(ratio 10 3)" 3.33
check "a zero base gives inf, not a division error" equals "$(ratio 1 0)" inf
check "10% apart is within 10%" within_share 100 110 0.10
check "11% apart is not" fails within_share 111 100 0.10
check "a zero peak is never within" fails within_share 0 0 0.10
check "windows moved by one: all but L - 1 inputs end one" equals "$(window_outputs 240 30 1)" 211
check "centred exposures of 180 degrees fit all but the first and last 60 fps frame" \
    equals "$(shutter_outputs 240 180)" 59
check "exposures of 1440 degrees leave out two frames at either end" \
    equals "$(shutter_outputs 240 1440)" 57
check "groups of L: the last partial group is no frame" equals "$(window_outputs 240 100 100)" 2
check "fewer inputs than L: no frame" equals "$(window_outputs 20 30 1)" 0
run_ok[t.a]=1 run_ok[t.b]=1 run_ok[t.c]=0 run_why[t.c]="exit status 1" run_label[t.c]="broken"
run_bytes[t.a]=1153434 run_bytes[t.b]=1048576 run_wall[t.a]=4.40 run_wall[t.b]=4
ratio_target bytes t t.a t.b "at most" 1.10 "size"
check "at most 1.10x passes at 1.10x" equals "${verdicts[-1]}" "- PASS t: size 1.10x (1.10 MiB against 1.00 MiB; target at most 1.10x)"
ratio_target wall t t.b t.a "at most" 0.9 "time"
check "at most 0.9x fails at 0.91x" equals "${verdicts[-1]}" "- FAIL t: time 0.91x (4 s against 4.40 s; target at most 0.9x)"
ratio_target wall t t.a t.c "at most" 1.10 "time"
check "a bound against a failed run fails" equals "${verdicts[-1]}" "- FAIL t: time at most 1.10x — broken did not finish (exit status 1)"

# ---- whole runs against stand-ins ---------------------------------------------------------------

stubs=$scratch/stubs
mkdir -p "$stubs"
cat >"$stubs/make_workload" <<'EOF'
#!/usr/bin/env bash
if [ "$1" = --list ]; then printf 'sprite 6 8 8 32 3\nfootage 200 8 8 24 50\nsample 2 4 4 32 1\n'; exit 0; fi
count=200; [ "$1" = sprite ] && count=6
mkdir -p "$2"
for ((i = 1; i <= count; i++)); do printf '%s %d' "$1" "$i" >"$2/$(printf %04d "$i").png"; done
EOF
# A renderer whose one-thread runs take five times as long; its frames depend on the inputs only.
# Here a clip is a text file with a line per frame; by time, at 180 or 360 degrees from 240 to 60
# fps, every fourth input but the last makes a frame.
cat >"$stubs/korvel-render" <<'EOF'
#!/usr/bin/env bash
case "$1" in --help) echo "korvel-render [--stats] ..."; exit 0 ;; --version) echo "korvel-render 0.8"; exit 0 ;; esac
layers=100 threads=1 stats=0 step= timed=0
while [ $# -gt 2 ]; do
    case "$1" in -l) layers=$2 && shift ;; -j) threads=$2 && shift ;; --step) step=$2 && shift ;; --stats) stats=1 ;; --out-fps) timed=1 ;; esac
    shift
done
if [ -f "$1" ]; then count=$(wc -l <"$1"); else files=("$1"/*.png) && count=${#files[@]}; fi
[ "$timed" = 1 ] && layers=4 step=4 count=$((count - 1))
if [ "$threads" = 1 ]; then sleep 0.5; else sleep 0.1; fi
for ((g = 1; count >= layers && g <= (count - layers) / ${step:-$layers} + 1; g++)); do
    printf -v out %s%03d.png "$2" "$g"
    [[ $2 == *.mkv ]] && out=$2
    echo "frame $g of $layers" >>"$out"
done
[ "$stats" = 0 ] || echo "decode 1.00 s, composite 1.50 s, encode 2.50 s (summed over threads)" >&2
EOF
# Runs out of pixel cache on footage groups of more than CONVERT_LIMIT files (default 60).
cat >"$stubs/convert" <<'EOF'
#!/usr/bin/env bash
[ "$1" = -version ] && echo "Version: ImageMagick 0.0-0 Q16 stand-in" && exit 0
case "$*" in *footage*)
    if [ $# -gt $((${CONVERT_LIMIT:-60} + 3)) ]; then
        echo "convert-im6.q16: cache resources exhausted \`$1' @ error/cache.c/OpenPixelCache/4095." >&2
        exit 1
    fi ;;
esac
echo mean >"${!#}"
EOF
# Writes one frame too few on sprite and hangs when asked for level 9. Without tmix it encodes
# the frames into a clip; blurring takes 0.5 s from H.264 into frames (1 s by time) and no time
# otherwise. A select of gte(n,K) keeps the inputs from the (K+1)-th on.
cat >"$stubs/ffmpeg" <<'EOF'
#!/usr/bin/env bash
[ "$1" = -version ] && echo "ffmpeg version 0.0-stand-in" && exit 0
case "$*" in *compression_level*) exec sleep 30 ;; esac
out=${!#} dir=$(dirname "${!#}")
if [[ $* != *tmix* ]]; then
    while [ "$1" != -i ]; do shift; done
    compgen -G "$2" >"$out"
    exit
fi
case "$*" in *.mp4*.png) sleep 0.5 ;; esac
if [[ $* == *fps=60* ]]; then
    sleep 0.5 # so that korvel's stand-in is 2x faster on a loaded machine too
    while [ "$1" != -i ]; do shift; done
    frames=$(($(wc -l <"$2") / 4))
    for ((i = 1; i <= frames; i++)); do printf -v n %04d "$i" && echo x >"$dir/$n.png"; done
    exit
fi
if [[ $* =~ gte\(n\\,([0-9]+)\) ]]; then
    first=${BASH_REMATCH[1]}
    while [ "$1" != -i ]; do shift; done
    frames=$(($(compgen -G "$2" | wc -l) - first))
    for ((i = 1; i <= frames; i++)); do printf -v n %04d "$i" && echo x >"$dir/$n.png"; done
    exit
fi
[[ $out == *.mkv ]] && printf 'frame %s\n' 1 2 3 4 >"$out" && exit
echo x >"$dir/0001.png"
case "$*" in *footage*) echo x | tee "$dir/0002.png" "$dir/0003.png" >"$dir/0004.png" ;; esac
EOF
cat >"$stubs/ffprobe" <<'EOF'
#!/usr/bin/env bash
wc -l <"${!#}"
EOF
chmod +x "$stubs"/*

run_driver() { # RESULT_FOLDER [OPTIONS...]
    local bench=$1
    shift
    # From the scratch folder, so that nothing a stand-in writes can land in the checkout.
    cd "$scratch" && KORVEL_RENDER=$stubs/korvel-render KORVEL_MAKE_WORKLOAD=$stubs/make_workload \
        KORVEL_CONVERT=$stubs/convert KORVEL_FFMPEG=${stub_ffmpeg:-$stubs/ffmpeg} \
        KORVEL_FFPROBE=$stubs/ffprobe KORVEL_BENCH_THREADS=2 bash "$here/compare.sh" --no-build --no-install \
        --bench-dir "$bench" --workloads "$scratch/workloads" "$@" >"$bench.log" 2>&1
}

run_driver "$scratch/full" --timeout 5
status=$?
table=$scratch/full/results.md
check "failed targets give exit status 1" equals "$status" 1
check "the table names the all-threads run" contains "$table" "| korvel-render -j 2 (all threads) |"
check "a peer's failure is recorded with its reason" \
    contains "$table" "failed: exit status 1: cache resources exhausted"
check "a wrong frame count is a failure" contains "$table" "failed: wrote 1 frame instead of 2"
check "a hanging peer is stopped by the limit" contains "$table" "failed: stopped after the 5 s limit"
check "finishing where ImageMagick cannot, at L = 100 when it copes with the workload's L" \
    contains "$table" "- PASS footage: korvel finishes where ImageMagick cannot at L = 100 (ImageMagick: exit status 1: cache resources exhausted)"
check "the L = 100 peer is compared with korvel at L = 100" \
    contains "$table" "| ImageMagick convert -evaluate-sequence mean, L = 100 |"
check "a target against a failed peer fails" \
    contains "$table" "- FAIL sprite: korvel faster than ffmpeg by at least 8x — ffmpeg tmix (default PNG settings) did not finish"
check "thread scaling is checked" contains "$table" "- PASS sprite: all threads faster than 1 thread by"
check "outputs of 1 and all threads are compared" \
    contains "$table" "- PASS footage: 1 thread and all threads wrote the same bytes"
check "the memory check quotes both peaks" contains "$table" "at L = 10 and"
check "time shares come from the one-thread run" \
    contains "$table" "decoding 20%, compositing 30%, encoding 50%"
check "the machine is described" contains "$table" "logical cores (2 used for \"all threads\")"
check "the peers' versions are quoted" contains "$table" "ImageMagick 0.0-0 Q16, ffmpeg 0.0-stand-in"
check "ratios are against the all-threads run" contains "$table" "| 1.00x | 1.00x |"
check "generated workloads carry every frame" test -f "$scratch/workloads/footage/0004.png"
check "korvel is compared with ffmpeg from H.264 into frames" \
    contains "$table" "- PASS clip: korvel faster than ffmpeg from H.264 to PNG frames by"
check "and into a clip, whose frames are counted" \
    contains "$table" "- FAIL clip: korvel faster than ffmpeg from H.264 to an FFV1 clip by 0."
check "the clip's memory check is across L" contains "$table" "at L = 50 and"
check "the shutter workload reads the clip at 240 fps" \
    contains "$table" "## shutter: 200 frames of 8 x 8 RGB, read as 240 fps, into 60 fps frames exposed at 180° around their times (49 output frames)"
check "korvel's blur by time is compared with ffmpeg's tmix and fps" \
    contains "$table" "- PASS shutter: korvel faster than ffmpeg's tmix and fps by"
check "the shutter's memory check is across shutter angles" contains "$table" "at shutter = 180° and"
check "the trail's windows move by one frame" \
    contains "$table" "## trail: 200 frames of 8 x 8 RGB, L = 50, step 1 (151 output frames)"
trail_row() { sed -n '/^## trail/,/^## Targets/p' "$table" | grep -F "| $1 |"; }
check "korvel's trail at L = 100 is checked for its own frame count" \
    contains <(trail_row "korvel-render -j 2, L = 100, --weights equal") "| 101 frames, "
check "ffmpeg's trail keeps one frame per full window" \
    contains <(trail_row "ffmpeg tmix (default PNG settings)") "| 151 frames, "
check "the trail's size bound compares korvel's frames with ffmpeg's" \
    contains "$table" "- FAIL trail: korvel's frames' total size over ffmpeg's: 7.64x"

CONVERT_LIMIT=10 run_driver "$scratch/footage" --only footage --timeout 3
check "finishing where ImageMagick cannot, at the workload's own L" \
    contains "$scratch/footage/results.md" "- PASS footage: korvel finishes where ImageMagick cannot at L = 50 ("
check "--only footage leaves the trail, made of the same frames, out" \
    fails grep -q "trail" "$scratch/footage/results.md"

stub_ffmpeg=$scratch/nowhere/ffmpeg run_driver "$scratch/partial" --only sprite
check "a missing peer is reported as not run" \
    contains "$scratch/partial/results.md" "not run: ffmpeg is not installed"
check "--only leaves the other workload out" fails grep -q "^## footage" "$scratch/partial/results.md"

run_driver "$scratch/clip" --only clip
check "--only clip measures the clips" \
    contains "$scratch/clip/results.md" "| korvel-render -j 2, H.264 to PNG frames | "
check "--only clip leaves the sequences' tables out" \
    fails grep -qE "^## (sprite|footage)" "$scratch/clip/results.md"
check "the clips are made once" fails grep -q "encoding the footage" "$scratch/clip.log"
run_driver "$scratch/trail" --only trail
check "--only trail measures the trail alone" \
    equals "$(grep -E '^## ' "$scratch/trail/results.md" | cut -d: -f1 | tr '\n' ' ')" "## trail ## Targets "
mkdir -p "$scratch/ages/footage" && touch "$scratch/ages/footage/.korvel-workload"
echo clip >"$scratch/ages/new.mp4" && echo clip >"$scratch/ages/old.mp4"
touch -d 2020-01-01 "$scratch/ages/old.mp4"
workloads=$scratch/ages check "a clip made from the footage as it is is kept" \
    clip_current "$scratch/ages/new.mp4"
workloads=$scratch/ages check "a clip older than the footage is made again" \
    fails clip_current "$scratch/ages/old.mp4"

if [ -n "$generator_under_test" ]; then
    lists_both() {
        "$1" --list | awk 'NF == 6 && ($1 == "sprite" || $1 == "footage") { n++ } END { exit n != 2 }'
    }
    check "the generator lists sprite and footage as name frames width height depth layers" \
        lists_both "$generator_under_test"
fi

echo
[ "$failures" -eq 0 ] && echo "all checks passed" || echo "$failures checks failed"
[ "$failures" -eq 0 ]
