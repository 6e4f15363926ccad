#!/usr/bin/env bash
# The project's one entry point for people and CI: installs what is missing from Debian,
# builds with CMake and runs Korvel, its tests, its sanitizer suites or its benchmarks.
# Every command is idempotent and quick when nothing changed.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cd "$here"
jobs=$(nproc 2>/dev/null || echo 2)

packages=(
    g++ make cmake ninja-build pkg-config
    libgtest-dev libbenchmark-dev
    libpng-dev zlib1g-dev
    qt6-base-dev fonts-dejavu-core
    libtbb-dev libdeflate-dev
    libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libavfilter-dev libswresample-dev ffmpeg
    clang libclang-rt-14-dev clang-format
    help2man
)
# What making the Debian package needs besides the build (dpkg-shlibdeps computes its
# dependencies, with file), and what the package test uses on top of that.
package_tools=(dpkg-dev file)
package_test_tools=(lintian man-db bash-completion)
# What the cluster tests start: a one-node Slurm cluster and an sshd for GNU Parallel.
cluster_test_tools=(slurm-wlm munge parallel openssh-server)

usage() {
    cat <<'EOF'
usage: ./dev.sh COMMAND [ARGS]
  run            install what is missing, build the window program and start Korvel (without a
                 display: build korvel-render and render a generated sample sequence instead)
  test           install what is missing, check the formatting, build, run the test suite, then
                 again under ASan+UBSan, the tests that run threads under TSan, and a short
                 fuzzing run (what CI runs)
  unit [ARGS]    build and run the plain test suite only (ARGS go to ctest, e.g. -R StrToInt)
  asan [ARGS]    build and run the suite under AddressSanitizer + UndefinedBehaviorSanitizer
  tsan [ARGS]    build and run the tests labelled "threads" under ThreadSanitizer
  fuzz [SECONDS] build the libFuzzer targets with clang and run each for SECONDS (default 600);
                 corpora stay in build-fuzz/corpus/, findings land in build-fuzz/crashes/
  format         format every C++ file with the committed .clang-format
  deps           only install the Debian packages that are missing
  build          only build everything (into build/)
  bench [ARGS]   install what is missing, then time korvel-render against ImageMagick and ffmpeg
                 on generated sequences and print the table (ARGS go to bench/compare.sh --help)
  package        build a Release tree (into build-release/) and make the Debian package
                 build-release/korvel_VERSION_ARCH.deb (install it with apt install ./FILE)
Using Korvel: README.md. Each command, the tests and the code: docs/developing.md.
EOF
}

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; elif command -v sudo >/dev/null; then sudo "$@"; else
        echo "dev.sh: installing packages needs root (run as root or install sudo)" >&2
        return 1
    fi
}

# deps [PACKAGE...]: the build's packages and these too.
deps() {
    local missing=()
    for p in "${packages[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "dev.sh: installing ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# configure DIR [cmake options...]: once, with Ninja (a tree configured before keeps its own
# generator); later builds are incremental.
configure() {
    local dir=$1
    shift
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        cmake -S . -B "$dir" -G Ninja -DKORVEL_WERROR=ON "$@" >/dev/null
    fi
}

# build DIR [cmake options...]: configures once, then builds everything incrementally.
build() {
    configure "$@"
    cmake --build "$1" --parallel "$jobs"
}

# The project's C++ files, as git knows them (new files included once they are added).
cpp_files() {
    git ls-files -co --exclude-standard -- '*.cpp' '*.h'
}

# Fails, naming them, when files differ from what the committed .clang-format makes of them. One
# clang-format reads many files: starting one per file took longer than the formatting itself.
check_format() {
    local report status=0 unformatted
    report=$(cpp_files | tr '\n' '\0' | xargs -0 -P "$jobs" -n 100 clang-format --dry-run -Werror 2>&1) ||
        status=$?
    unformatted=$(sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' \
        <<<"$report" | sort -u)
    if [ -z "$unformatted" ]; then
        [ "$status" -eq 0 ] && return 0
        echo "dev.sh: clang-format could not check the files:" >&2
        echo "$report" >&2
        return 1
    fi
    echo "dev.sh: not formatted (run ./dev.sh format):" >&2
    echo "$unformatted" | sed 's/^/  /' >&2
    return 1
}

# One test more than processors: many tests spend their time waiting for the programs they run.
suite() {
    local dir=$1
    shift
    ctest --test-dir "$dir" --output-on-failure --parallel "$((jobs + 1))" "$@"
}

# Without a display there is no window to open: show what Korvel does on a sample sequence that
# the project generates itself, with the batch renderer.
render_sample() {
    echo "dev.sh: no display (neither DISPLAY nor WAYLAND_DISPLAY is set), so Korvel's window cannot open."
    echo "dev.sh: rendering a generated sample sequence with the batch renderer instead."
    cmake --build build --parallel "$jobs" --target korvel-render make_workload
    build/bench/make_workload sample build/sample/in
    rm -rf build/sample/out && mkdir -p build/sample/out
    build/batch/korvel-render -l 10 build/sample/in build/sample/out
    echo "dev.sh: the motion-blurred frames are in $here/build/sample/out"
    echo "dev.sh: to see the window without a desktop: apt-get install -y xvfb && (cd build && xvfb-run -a window/korvel)"
}

# A Release tree of what the package holds, without the tests; compiler warnings do not stop it
# (they stop ./dev.sh test), as a newer compiler must not keep a user from packaging a release.
# Older packages are removed first, so that ./build-release/korvel_*.deb names one file.
make_package() {
    configure build-release -DCMAKE_BUILD_TYPE=Release -DKORVEL_WERROR=OFF -DKORVEL_BENCH=OFF
    cmake --build build-release --parallel "$jobs" --target korvel-package-contents
    rm -f build-release/korvel_*.deb
    (cd build-release && cpack -G DEB >/dev/null)
    echo "dev.sh: made $(ls "$here"/build-release/korvel_*.deb)"
}

# The libFuzzer targets, each built from tests/fuzz/NAME_fuzz.cpp.
fuzz_targets=(png_catch png_twin bmp_read icon_read pref_file str_to_int name_pattern clip_read)

# Builds the targets with clang into build-fuzz/ (only the runtime and image libraries, no Qt) and
# writes their seeds afresh.
fuzz_build() {
    if [ ! -f build-fuzz/CMakeCache.txt ]; then
        CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DKORVEL_FUZZ=ON -DKORVEL_WERROR=ON >/dev/null
    fi
    cmake --build build-fuzz --parallel "$jobs"
    rm -rf build-fuzz/seeds
    build-fuzz/tests/fuzz/fuzz_seed_writer build-fuzz/seeds
}

# The seed folders of target $1: its generated seeds, and for the PNG targets the public PNG suites.
fuzz_seeds() {
    echo "build-fuzz/seeds/$1"
    [ "$1" = png_catch ] || [ "$1" = png_twin ] || return 0
    for suite in ../shared/pngsuite ../shared/testpngs; do
        if [ -d "$suite" ]; then echo "$suite"; else echo "dev.sh: $suite is absent, not used as seeds" >&2; fi
    done
}

# Runs every target for $1 seconds, growing its corpus; a crash, leak, hang or sanitizer report
# is written to build-fuzz/crashes/ and makes the run fail. Prints each target's executions.
fuzz_run() {
    local seconds=$1 failed=() target status runs
    # The preference target writes a file per input: a memory file system keeps that fast.
    local scratch=/tmp
    [ -d /dev/shm ] && [ -w /dev/shm ] && scratch=/dev/shm
    mkdir -p build-fuzz/crashes build-fuzz/logs
    for target in "${fuzz_targets[@]}"; do
        mkdir -p "build-fuzz/corpus/$target"
        local log=build-fuzz/logs/$target.log seeds
        mapfile -t seeds < <(fuzz_seeds "$target")
        status=0
        TMPDIR=$scratch timeout $((seconds * 2 + 120)) "build-fuzz/tests/fuzz/${target}_fuzz" \
            -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
            -artifact_prefix="build-fuzz/crashes/$target-" \
            "build-fuzz/corpus/$target" "${seeds[@]}" >"$log" 2>&1 || status=$?
        runs=$(LC_ALL=C sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
        if [ "$status" -eq 0 ]; then
            printf 'dev.sh: fuzz %-13s %10s executions in %ss, nothing found\n' "$target" "${runs:-?}" "$seconds"
        else
            printf 'dev.sh: fuzz %-13s FAILED (status %s) after %s executions; log: %s\n' \
                "$target" "$status" "${runs:-?}" "$log" >&2
            grep -aE '^(==[0-9]+==ERROR|SUMMARY|artifact_prefix|Test unit written)' "$log" >&2 || true
            failed+=("$target")
        fi
    done
    [ ${#failed[@]} -eq 0 ] || { echo "dev.sh: fuzzing found faults in: ${failed[*]}" >&2; return 1; }
}

# The sanitizer builds leave out the benchmarks, which the plain suite runs.
sanitized() {
    configure "$1" -DKORVEL_SANITIZE="$2" -DCMAKE_BUILD_TYPE=Debug -DKORVEL_BENCH=OFF
}

# The thread checker runs the tests that run threads (label "threads"): the others have nothing
# for it to find, so only their binaries are built (korvel-render with the batch tests).
tsan_suite() {
    sanitized build-tsan thread
    cmake --build build-tsan --parallel "$jobs" --target korvel_runtime_tests korvel_drawing_tests \
        korvel_ui_tests korvel_engine_tests korvel_batch_tests korvel_window_tests
    export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
    suite build-tsan -L threads "$@"
}

asan_suite() {
    sanitized build-asan address,undefined
    cmake --build build-asan --parallel "$jobs"
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    suite build-asan "$@"
}

cmd=${1:-help}
[ $# -gt 0 ] && shift
case "$cmd" in
run)
    deps
    configure build
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        render_sample
        exit 0
    fi
    cmake --build build --parallel "$jobs" --target korvel
    # The job file "Korvel Temp.tmp" lives in the working directory while Korvel runs.
    cd build && exec window/korvel
    ;;
test)
    # The package test installs into the system and the cluster tests start daemons, so they run
    # as root only (as in CI); their tools are installed along with the rest then.
    test_tools=()
    [ "$(id -u)" -eq 0 ] &&
        test_tools=("${package_tools[@]}" "${package_test_tools[@]}" "${cluster_test_tools[@]}")
    deps "${test_tools[@]}"
    check_format
    build build
    suite build
    tests/package/package_test.sh build
    asan_suite
    tsan_suite
    # A bounded fuzzing smoke run: three seconds a target.
    fuzz_build
    fuzz_run 3
    ;;
unit)
    build build
    suite build "$@"
    ;;
asan)
    asan_suite "$@"
    ;;
tsan)
    tsan_suite "$@"
    ;;
fuzz)
    seconds=${1:-600}
    if ! [[ $seconds =~ ^[1-9][0-9]*$ ]]; then
        echo "dev.sh: fuzz takes the seconds per target, a whole number above 0 (not '$seconds')" >&2
        exit 2
    fi
    deps
    fuzz_build
    fuzz_run "$seconds"
    ;;
format) cpp_files | xargs clang-format -i ;;
deps) deps ;;
build) build build ;;
bench)
    deps
    bench/compare.sh "$@"
    ;;
package)
    deps "${package_tools[@]}"
    make_package
    ;;
help | -h | --help) usage ;;
*)
    usage >&2
    exit 2
    ;;
esac
