# shellcheck shell=bash
# What the cluster tests share, sourced by slurm_test.sh and parallel_test.sh after they set
# `test_name`: their arguments, the input sequence and the full render they are compared with, the
# README's recipes as a user would paste them, free ports, and waiting with a deadline.
#
#   TEST KORVEL_RENDER MAKE_WORKLOAD README      (ctest passes them; exit 77 means skipped)
#
# Everything a test writes lives in one temporary folder, removed when it ends; a failing test
# prints the logs of the daemons it started first, as they are what tells why.
set -Eeuo pipefail

: "${test_name:?set by the test that sources this file}"
skipped=77
say() { echo "$test_name test: $*"; }
fail() {
    echo "$test_name test: FAILED: $*" >&2
    show_logs >&2
    exit 1
}
# A test that cannot run says why in one line and is counted as skipped, never as passed.
skip() {
    echo "$test_name test: skipped: $*"
    exit $skipped
}

[ $# -eq 3 ] || {
    echo "usage: $0 KORVEL_RENDER MAKE_WORKLOAD README" >&2
    exit 2
}
render=$(readlink -f "$1")
make_workload=$(readlink -f "$2")
readme=$(readlink -f "$3")
[ "$(id -u)" -eq 0 ] || skip "it starts daemons, which needs root (run ./dev.sh test as root, as CI does)"

# require PROGRAM...: each is installed, or the test is skipped.
require() {
    local program
    for program in "$@"; do
        command -v "$program" >/dev/null ||
            skip "$program is not installed (./dev.sh test installs it when run as root)"
    done
}

work=$(mktemp -d "/tmp/korvel-$test_name.XXXXXX")
# The README's paths: /shared/in and /shared/out become these.
inputs=$work/in
outputs=$work/out
# What the test itself started, stopped in reverse order when it ends, however it ends.
daemons=()
log_files=()
finish() {
    local pid i
    # A test's jobs are ended while the daemons that run them are still there to do it.
    if declare -F stop_jobs >/dev/null; then stop_jobs; fi
    for ((i = ${#daemons[@]} - 1; i >= 0; i--)); do
        pid=${daemons[i]}
        kill "$pid" 2>/dev/null || continue
        # A daemon that does not stop in five seconds is killed.
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "$pid" 2>/dev/null || true
    done
    # A render that a failed test left blocked names the work folder in its arguments.
    pkill -KILL -f -- "$work/" 2>/dev/null || true
    rm -rf "$work"
}
trap finish EXIT
trap 'fail "line $LINENO exited with status $?"' ERR

show_logs() {
    local log
    for log in "${log_files[@]}"; do
        [ -s "$log" ] || continue
        echo "--- last lines of $(basename "$log")"
        tail -n 15 "$log"
    done
}

# start_daemon LOG COMMAND...: runs COMMAND in the foreground of a background job of this shell.
start_daemon() {
    local log=$1
    shift
    log_files+=("$log")
    "$@" >>"$log" 2>&1 &
    daemons+=($!)
}

# wait_until SECONDS WHAT COMMAND...: COMMAND succeeds within SECONDS, or the test fails saying
# WHAT did not happen. The daemons offer no event to wait on, so this asks ten times a second.
wait_until() {
    local limit=$1 what=$2
    local deadline=$((SECONDS + limit))
    shift 2
    until "$@"; do
        [ $SECONDS -lt $deadline ] || fail "$what within $limit s"
        sleep 0.1
    done
}

# wait_ready NAME SECONDS COMMAND...: like wait_until, for daemons being started; one that has
# exited instead means this machine cannot run it (a container without the rights, say), so the
# test is skipped with the last line of its log.
wait_ready() {
    local name=$1 limit=$2 i
    local deadline=$((SECONDS + limit))
    shift 2
    until "$@"; do
        for i in "${!daemons[@]}"; do
            kill -0 "${daemons[i]}" 2>/dev/null ||
                skip "$name could not start here: $(tail -n 1 "${log_files[i]}")"
        done
        [ $SECONDS -lt $deadline ] || fail "$name not ready within $limit s"
        sleep 0.1
    done
}

# A TCP port on which nothing listens on this machine now, from the range no service is given,
# and that this test has not chosen before (its daemons have not opened theirs yet).
ports_chosen=$work/ports
free_port() {
    local port
    for _ in $(seq 100); do
        port=$((20000 + RANDOM % 30000))
        if ! grep -qx "$port" "$ports_chosen" 2>/dev/null && ! listening "$port"; then
            echo "$port" | tee -a "$ports_chosen"
            return 0
        fi
    done
    fail "found no free port"
}

# listening PORT: something accepts connections on PORT.
listening() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

# readme_block MARK LANGUAGE: the first block fenced as LANGUAGE after the README's line holding
# MARK, as a user would copy it.
readme_block() {
    local block
    block=$(awk -v mark="$1" -v fence="\`\`\`$2" '
        !found && index($0, mark) { found = 1; next }
        found && !inside && $0 == fence { inside = 1; next }
        inside && $0 == "```" { exit }
        inside { print }' "$readme")
    [ -n "$block" ] || fail "the README has no $2 block after '$1'"
    printf '%s\n' "$block"
}

# replace TEXT FROM TO: TEXT with every FROM made TO; fails if the README's text no longer has it.
replace() {
    [[ $1 == *"$2"* ]] || fail "the README's recipe no longer holds '$2'"
    printf '%s\n' "${1//"$2"/"$3"}"
}

# The README's recipe that counts the output frames, on this test's paths.
count_recipe() {
    replace "$(readme_block '## Splitting a long sequence over several machines' sh)" /shared/in "$inputs"
}

# The layers per frame that RECIPE renders with ("-l 100"), for the full render it is compared with.
recipe_layers() {
    grep -o -- ' -l [0-9][0-9]*' <<<"$1" | head -n 1 || fail "the README's recipe gives no -l"
}

# make_inputs LAYERS: an input sequence of 55 output frames, more than two Slurm tasks take, and
# the full render of it by one korvel-render run, in $work/expected. Its 5,500 inputs repeat the
# few distinct frames of the "cluster" workload as hard links: generating each would take longer
# than everything else the test does.
make_inputs() {
    "$make_workload" cluster "$work/distinct" >/dev/null
    # shellcheck disable=SC2016 # perl's variables
    perl -e 'my ($from, $to, $count) = @ARGV;
        my @frames = sort glob("$from/*.png");
        mkdir $to or die "$to: $!";
        for my $i (0 .. $count - 1) {
            my $name = sprintf("%s/%04d.png", $to, $i + 1);
            link($frames[$i % @frames], $name) or die "$name: $!";
        }' "$work/distinct" "$inputs" 5500
    mkdir "$work/expected"
    # shellcheck disable=SC2086 # "-l N" is two words
    "$render" -q $1 "$inputs" "$work/expected"
    say "$(find "$work/expected" -name '*.png' | wc -l) frames expected from $(find "$inputs" -name '*.png' | wc -l) inputs"
}

# The recipes' frames are the full render's, byte for byte, and no temporary file is left.
check_outputs() {
    local parts
    parts=$(find "$outputs" -name '*.part')
    [ -z "$parts" ] || fail "temporary files remain: $parts"
    diff -r "$work/expected" "$outputs" >"$work/diff.log" 2>&1 ||
        fail "the frames differ from one full korvel-render run: $(head -n 5 "$work/diff.log")"
    say "$1: all $(find "$outputs" -name '*.png' | wc -l) frames equal one full run's, no temporary file left"
}

# The path of the input that output frame FRAME begins with, for layers per frame LAYERS.
first_input_of() {
    local frame=$1 layers=${2#*-l }
    printf '%s/%04d.png\n' "$inputs" $(((frame - 1) * layers + 1))
}

# Every program the recipes call finds this build's korvel-render first, and what they keep in
# a home folder (GNU Parallel does) stays in the work folder.
PATH=$(dirname "$render"):$PATH
HOME=$work/home
mkdir "$HOME"
export PATH HOME
