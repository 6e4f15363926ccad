#!/usr/bin/env bash
# The project's one entry point for people and CI: installs what is missing from Debian,
# builds with CMake and runs Korvel, its tests, its sanitizer suites or its benchmarks.
# Every command is idempotent and quick when nothing changed.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cd "$here"
jobs=$(nproc 2>/dev/null || echo 2)

packages=(
    g++ make cmake pkg-config
    libgtest-dev libbenchmark-dev
    libpng-dev zlib1g-dev
    qt6-base-dev fonts-dejavu-core
    libtbb-dev libdeflate-dev
)

usage() {
    cat <<'EOF'
usage: ./dev.sh COMMAND [ARGS]
  run            install what is missing, build and start Korvel
  test           install what is missing, build, run the test suite and the ASan+UBSan suite
  unit [ARGS]    build and run the plain test suite only (ARGS go to ctest, e.g. -R StrToInt)
  asan [ARGS]    build and run the suite under AddressSanitizer + UndefinedBehaviorSanitizer
  tsan [ARGS]    build and run the suite under ThreadSanitizer
  deps           only install the Debian packages that are missing
  build          only build (into build/)
  bench [ARGS]   install what is missing, then time korvel-render against ImageMagick and ffmpeg
                 on generated sequences and print the table (ARGS go to bench/compare.sh --help)
EOF
}

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; elif command -v sudo >/dev/null; then sudo "$@"; else
        echo "dev.sh: installing packages needs root (run as root or install sudo)" >&2
        return 1
    fi
}

deps() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "dev.sh: installing ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# build DIR [cmake options...]: configure once, then build incrementally.
build() {
    local dir=$1
    shift
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        cmake -S . -B "$dir" -DKORVEL_WERROR=ON "$@" >/dev/null
    fi
    cmake --build "$dir" --parallel "$jobs"
}

suite() {
    local dir=$1
    shift
    ctest --test-dir "$dir" --output-on-failure --parallel "$jobs" "$@"
}

asan_options() {
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
}

# Without a display there is no window to open: show what Korvel does on a sample sequence that
# the project generates itself, with the batch renderer.
render_sample() {
    echo "dev.sh: no display (neither DISPLAY nor WAYLAND_DISPLAY is set), so Korvel's window cannot open."
    echo "dev.sh: rendering a generated sample sequence with the batch renderer instead."
    build/bench/make_workload sample build/sample/in
    rm -rf build/sample/out && mkdir -p build/sample/out
    build/app/korvel-render -l 10 build/sample/in build/sample/out
    echo "dev.sh: the motion-blurred frames are in $here/build/sample/out"
    echo "dev.sh: to see the window without a desktop: apt-get install -y xvfb && (cd build && xvfb-run -a app/korvel)"
}

cmd=${1:-help}
[ $# -gt 0 ] && shift
case "$cmd" in
run)
    deps
    build build
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        render_sample
        exit 0
    fi
    # The job file "Korvel Temp.tmp" lives in the working directory while Korvel runs.
    cd build && exec app/korvel
    ;;
test)
    deps
    build build
    suite build
    build build-asan -DKORVEL_SANITIZE=address,undefined -DCMAKE_BUILD_TYPE=Debug
    asan_options
    suite build-asan
    ;;
unit)
    build build
    suite build "$@"
    ;;
asan)
    build build-asan -DKORVEL_SANITIZE=address,undefined -DCMAKE_BUILD_TYPE=Debug
    asan_options
    suite build-asan "$@"
    ;;
tsan)
    build build-tsan -DKORVEL_SANITIZE=thread -DCMAKE_BUILD_TYPE=Debug
    export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
    suite build-tsan "$@"
    ;;
deps) deps ;;
build) build build ;;
bench)
    deps
    bench/compare.sh "$@"
    ;;
help | -h | --help) usage ;;
*)
    usage >&2
    exit 2
    ;;
esac
