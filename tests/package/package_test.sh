#!/usr/bin/env bash
# Makes the Debian package from an already built tree, checks it with lintian, installs it the way
# a user would (apt-get install ./korvel_*.deb), uses what it installed (the renderer with its
# clip module, the manual pages, the bash completion), purges it and checks that nothing of it is
# left.
#
#   tests/package/package_test.sh [BUILD_DIR]     (default: build; run by ./dev.sh test)
#
# It installs into the system, so it runs as root only and skips otherwise. It needs the tree
# built whole (the programs, the manual pages and the sample generator) and dpkg-dev, file,
# lintian, man-db and bash-completion installed; ./dev.sh test sees to both.
set -Eeuo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$source_dir/build}" && pwd)
work=$build/package-test
deb=
clip_module= # where the build tree installs it
installed=false
man_index=/var/lib/man-db/auto-update
man_index_paused=false

say() { echo "package test: $*"; }
fail() {
    echo "package test: FAILED: $*" >&2
    exit 1
}

# Leaves the system as it found it, also when a check fails half-way.
clean_up() {
    if $installed; then
        DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq korvel >/dev/null 2>&1 || true
    fi
    if $man_index_paused; then mv "$work/man-db-auto-update" "$man_index"; fi
}

# After every install and removal man-db rebuilds its index of manual pages (for apropos), which
# takes seconds on a system with many pages, twice per run; man -w finds a page without it. This
# is the switch of man-db's own setting "auto-update"; clean_up puts it back, and as the package
# comes and goes unindexed, the index is as it was.
pause_man_index() {
    [ -e "$man_index" ] || return 0
    mv "$man_index" "$work/man-db-auto-update"
    man_index_paused=true
}

make_package() {
    if [ ! -x "$build/batch/korvel-render" ] || [ ! -f "$build/CPackConfig.cmake" ]; then
        fail "$build holds no built tree (run ./dev.sh build first)"
    fi
    clip_module=/usr/$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$build/CMakeCache.txt")
    clip_module+=/korvel/korvel-clips.so
    rm -rf "$work"
    mkdir -p "$work"
    # cpack installs the tree as it is built: no second compile.
    cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 ||
        { cat "$work/cpack.log" >&2; fail "cpack could not make the package"; }
    local debs=("$work"/korvel_*.deb)
    if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then fail "cpack made no single korvel_*.deb"; fi
    deb=${debs[0]}
    say "made $(basename "$deb")"
}

# Errors fail the test; warnings are shown for whoever reads the log.
run_lintian() {
    local status=0
    lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 || status=$?
    sed 's/^/  /' "$work/lintian.log"
    [ "$status" -eq 0 ] || fail "lintian found errors in the package (status $status)"
    say "lintian: no errors ($(grep -c '^W:' "$work/lintian.log" || true) warnings)"
}

install_package() {
    if dpkg-query -W -f='${Status}' korvel 2>/dev/null | grep -q 'install ok installed'; then
        fail "korvel is already installed, and this test would replace and purge it; remove it first (apt-get purge korvel)"
    fi
    pause_man_index
    installed=true
    # A minimal system may tell dpkg to leave out manual pages and documentation; what this test
    # checks is that the package brings them, so its own are let in.
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        -o 'DPkg::Options::=--path-include=/usr/share/man/man1/korvel*' \
        -o 'DPkg::Options::=--path-include=/usr/share/doc/korvel/*' \
        "$deb" >"$work/install.log" 2>&1 || { cat "$work/install.log" >&2; fail "apt-get could not install the package"; }
    say "installed"
}

# The package's own list of what it puts on the system, one absolute path a line (folders end in
# a slash).
package_paths() {
    dpkg-deb --fsys-tarfile "$deb" | tar -t | sed -e 's|^\./|/|' -e '/^\/$/d'
}

# Everything a user reaches for must be there, in the place the system looks for it.
check_contents() {
    local path missing=()
    for path in /usr/bin/korvel /usr/bin/korvel-render /usr/share/applications/korvel.desktop \
        /usr/share/icons/hicolor/{16x16,24x24,32x32,48x48,64x64,96x96,128x128,256x256}/apps/korvel.png \
        /usr/share/man/man1/korvel.1.gz /usr/share/man/man1/korvel-render.1.gz \
        /usr/share/bash-completion/completions/korvel-render \
        /usr/share/doc/korvel/README.md /usr/share/doc/korvel/copyright "$clip_module"; do
        [ -e "$path" ] || missing+=("$path")
    done
    # The pictures that the installed README shows and the pages it links, by paths relative to it.
    for path in $(grep -oE '\]\(docs/[^)#]+' /usr/share/doc/korvel/README.md | cut -c 3- | sort -u); do
        [ -e "/usr/share/doc/korvel/$path" ] || missing+=("/usr/share/doc/korvel/$path")
    done
    [ ${#missing[@]} -eq 0 ] || fail "not installed: ${missing[*]}"
    say "every file is in place"
}

# The version is set once in CMake: the program, the package and both pages must all carry it.
check_version() {
    local version shown page
    version=$(dpkg-deb -f "$deb" Version)
    shown=$(/usr/bin/korvel-render --version)
    [ "$shown" = "korvel-render $version" ] ||
        fail "korvel-render --version says '$shown', the package is version $version"
    for page in korvel korvel-render; do
        grep -q "^\.TH .*\"$page $version\"" <(zcat "/usr/share/man/man1/$page.1.gz") ||
            fail "$page(1) does not carry version $version"
    done
    say "version $version everywhere"
}

# Each library the programs load must come from a package named in Depends: the dependencies are
# computed from the binaries, and a library left out would break the program on a lean system.
check_depends() {
    local depends libraries=() patterns=() library owners package
    depends=" $(dpkg-deb -f "$deb" Depends | sed 's/([^)]*)//g; s/[,|]/ /g') "
    mapfile -t libraries < <(for program in /usr/bin/korvel /usr/bin/korvel-render "$clip_module"; do
        objdump -p "$program" | awk '$1 == "NEEDED" { print $2 }'
    done | sort -u)
    [ ${#libraries[@]} -gt 0 ] || fail "the programs name no libraries"
    local cache path
    cache=$(ldconfig -p)
    for library in "${libraries[@]}"; do
        path=$(awk -v name="$library" '$1 == name { print $NF; exit }' <<<"$cache")
        [ -n "$path" ] || fail "$library, which the programs load, is not on this system"
        # By folder and name: /lib and /usr/lib are one folder on a merged system, but dpkg knows
        # each file under the one its package gave, and lib32 holds files of the same names.
        path=$(readlink -f "$path")
        patterns+=("*/$(basename "$(dirname "$path")")/$(basename "$path")")
    done
    # Lines read "libfoo1:amd64, libfoo1:i386: /usr/lib/.../libfoo.so.1.2".
    owners=$(dpkg-query -S "${patterns[@]}" | grep -v '^diversion' | sed 's|: /.*||' |
        tr ',' '\n' | sed 's/^ *//; s/:.*//' | sort -u)
    for package in $owners; do
        [[ $depends == *" $package "* ]] || fail "Depends lacks $package, whose library the programs load (Depends:$depends)"
    done
    say "Depends names the packages of all ${#libraries[@]} libraries"
}

# The installed renderer must work from the system's libraries and write, byte for byte, what the
# build tree's renderer writes.
check_render() {
    local maker=$build/bench/make_workload frames expected
    [ -x "$maker" ] || fail "$maker is not built"
    "$maker" sample "$work/in" >/dev/null
    mkdir -p "$work/out-installed" "$work/out-built"
    (cd / && /usr/bin/korvel-render -q -l 10 "$work/in" "$work/out-installed") ||
        fail "the installed korvel-render could not render the sample"
    "$build/batch/korvel-render" -q -l 10 "$work/in" "$work/out-built"
    frames=$(find "$work/out-installed" -name '*.png' | wc -l)
    expected=$(($(find "$work/in" -name '*.png' | wc -l) / 10))
    if [ "$frames" -ne "$expected" ] || [ "$frames" -eq 0 ]; then
        fail "the installed korvel-render wrote $frames frames, not $expected"
    fi
    diff -r "$work/out-built" "$work/out-installed" >/dev/null ||
        fail "the installed korvel-render wrote other frames than the build tree's"
    say "the installed korvel-render rendered $frames frames"
    check_clip_render "$frames"
}

# Clips go through the module that the installed korvel-render opens from the library folder: it
# writes the sample's frames as a clip and reads them back.
check_clip_render() {
    local frames=$1 read_back
    mkdir -p "$work/out-clip"
    (cd / && /usr/bin/korvel-render -q -l 10 "$work/in" "$work/sample.mkv" &&
        /usr/bin/korvel-render -q -l 1 "$work/sample.mkv" "$work/out-clip") ||
        fail "the installed korvel-render could not write and read a clip"
    read_back=$(find "$work/out-clip" -name '*.png' | wc -l)
    [ "$read_back" -eq "$frames" ] ||
        fail "the installed korvel-render read $read_back frames from its clip of $frames"
    say "the installed korvel-render wrote and read a clip of $frames frames"
}

# man finds both pages, and korvel-render's tells of every option its --help shows.
check_manuals() {
    local page where text option section
    for page in korvel korvel-render; do
        where=$(man -w "$page") || fail "man -w $page finds no page"
        [ "$where" = "/usr/share/man/man1/$page.1.gz" ] || fail "man -w $page finds $where"
    done
    text=$(MANWIDTH=200 man korvel-render 2>/dev/null)
    for section in SYNOPSIS OPTIONS 'EXIT STATUS' EXAMPLES FILES; do
        grep -q "^$section\$" <<<"$text" || fail "korvel-render(1) has no $section section"
    done
    for option in $(help_options); do
        grep -q -- "$option\\b" <<<"$text" || fail "korvel-render(1) does not mention $option"
    done
    say "man finds both pages; korvel-render(1) has every option"
}

# The options that korvel-render --help lists, one a line: -l and --layers from "  -l, --layers N".
help_options() {
    /usr/bin/korvel-render --help |
        sed -n 's/^ \{1,10\}\(-[[:alnum:]], \)\{0,1\}\(--[[:alnum:]-]*\).*/\1\2/p' |
        tr -d ',' | tr ' ' '\n' | sed '/^$/d' | sort
}

# For each command line given, the line, a tab and what the completion offers for its last word
# (sorted, space-separated): bash-completion loads the installed file by the command's name, as it
# does on the first Tab.
completions() {
    (cd "$work/paths" && bash -c '
        source /usr/share/bash-completion/bash_completion
        _completion_loader korvel-render
        handler=$(complete -p korvel-render | sed "s/.*-F \([^ ]*\) .*/\1/")
        for COMP_LINE in "$@"; do
            COMP_POINT=${#COMP_LINE}
            read -r -a COMP_WORDS <<<"$COMP_LINE"
            [[ $COMP_LINE == *" " ]] && COMP_WORDS+=("")
            COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
            COMPREPLY=()
            "$handler" korvel-render
            printf "%s\t%s\n" "$COMP_LINE" "$(printf "%s\n" "${COMPREPLY[@]}" | sort | xargs)"
        done' bash "$@")
}

check_completion() {
    bash -c 'source /usr/share/bash-completion/completions/korvel-render && complete -p korvel-render' \
        >/dev/null || fail "the completion file does not register a completion for korvel-render"
    # A folder of frames, a clip that only INPUT takes, clips that OUTPUT writes, and a file that
    # is neither.
    mkdir -p "$work/paths/frames"
    touch "$work/paths/"{capture.avi,take.MOV,blurred.mkv,notes.txt}
    local inputs="blurred.mkv capture.avi frames take.MOV" outputs="blurred.mkv frames take.MOV"
    local -A expected=(
        ["korvel-render -"]=$(help_options | xargs)
        ["korvel-render --back"]="--background"
        ["korvel-render --background "]="black white"
        ["korvel-render --weights "]="equal gauss ramp"
        ["korvel-render --phase "]="center end start"
        ["korvel-render -l "]=""
        # Which path is completed depends on the words before: an option's value is none, also
        # after bundled short options (-rl 10) or a long option (--threads 2).
        ["korvel-render -l 10 "]=$inputs
        ["korvel-render --stats "]=$inputs
        ["korvel-render -rl 10 frames "]=$outputs
        ["korvel-render --threads 2 frames "]=$outputs
        ["korvel-render -- frames "]=$outputs
        ["korvel-render frames out "]=""
    )
    local results line offered checked=0
    results=$(completions "${!expected[@]}")
    while IFS=$'\t' read -r line offered; do
        [ "$offered" = "${expected[$line]}" ] ||
            fail "completing '$line' offers '$offered', not '${expected[$line]}'"
        checked=$((checked + 1))
    done <<<"$results"
    [ "$checked" -eq ${#expected[@]} ] || fail "the completion answered $checked of ${#expected[@]} command lines"
    say "the completion offers the options of --help, their values and the right paths"
}

# After a purge, no file of the package may be left, and no folder of it that no other package
# also holds.
purge_and_check() {
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq korvel >"$work/purge.log" 2>&1 ||
        { cat "$work/purge.log" >&2; fail "apt-get could not purge the package"; }
    installed=false
    local path folders=() owned left=()
    while read -r path; do
        if [[ $path == */ ]]; then
            [ -d "$path" ] && folders+=("${path%/}")
        elif [ -e "$path" ] || [ -L "$path" ]; then
            left+=("$path")
        fi
    done < <(package_paths)
    # One query for all folders (each reads dpkg's whole database); it fails for those that no
    # package holds, which are the ones left behind.
    owned=$(dpkg-query -S "${folders[@]}" 2>/dev/null | sed -n 's|^[^/]*: \(/.*\)$|\1|p' || true)
    for path in "${folders[@]}"; do
        grep -qxF "$path" <<<"$owned" || left+=("$path/")
    done
    [ ${#left[@]} -eq 0 ] || fail "left behind after the purge: ${left[*]}"
    say "purged; nothing of it is left"
}

main() {
    if [ "$(id -u)" -ne 0 ]; then
        say "skipped: it installs the package into the system, which needs root (CI runs it)"
        return 0
    fi
    trap clean_up EXIT
    # A step that fails outside the checks' own messages still says where.
    trap 'echo "package test: FAILED: line $LINENO exited with status $?" >&2' ERR
    make_package
    run_lintian
    install_package
    check_contents
    check_version
    check_depends
    check_render
    check_manuals
    check_completion
    purge_and_check
}

main "$@"
