# Writes one manual page, gzipped, at build time (cmake -P), so that a page cannot say other than
# the program it describes:
#   -DHELP2MAN=... -DPROGRAM=... -DINCLUDE=page.h2m -DNAME="what it does" -DOUTPUT=page.1.gz
#     makes the page from the built program's --help and --version, with the include file's
#     sections (EXAMPLES, FILES, ...) added;
#   -DSOURCE=page.1.in -DVERSION=x.y -DOUTPUT=page.1.gz
#     makes it from a roff source with @VERSION@ and @DATE@ filled in, for a program that has no
#     --help.
# The dates come from SOURCE_DATE_EPOCH when it is set, so that packages can be built reproducibly.
cmake_minimum_required(VERSION 3.25)

get_filename_component(work "${OUTPUT}" DIRECTORY)
get_filename_component(page "${OUTPUT}" NAME_WE)
set(roff "${work}/${page}.1")

if(DEFINED SOURCE)
    # The month and year, as help2man writes them.
    string(TIMESTAMP DATE "%B %Y" UTC)
    configure_file("${SOURCE}" "${roff}" @ONLY)
else()
    # help2man knows the headings "Usage:" and "Options:" and makes *Heading* lines sections of
    # their own; korvel-render writes its headings in lower case ("usage:", "options:", "exit
    # status:"), so its text is passed through a wrapper that spells them the way help2man
    # reads them. Indented lines, the options and their descriptions, pass unchanged.
    set(wrapper "${work}/${page}.help-text")
    file(WRITE "${wrapper}" "#!/bin/sh
\"${PROGRAM}\" \"$@\" | sed -e 's/^usage:/Usage:/' -e 's/^options:$/Options:/' \\
    -e '/^\\(Usage\\|Options\\):/!s/^\\([A-Za-z][A-Za-z ]*\\):$/*\\1*/'
")
    file(CHMOD "${wrapper}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
    execute_process(
        COMMAND "${HELP2MAN}" --no-info --section=1 "--name=${NAME}"
                "--include=${INCLUDE}" "--output=${roff}" "${wrapper}"
        RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "help2man could not make ${page}(1) from ${PROGRAM} (${status})")
    endif()
    # The wrapper's own name is what help2man falls back to where the program does not name
    # itself; the page must only ever name the program.
    file(READ "${roff}" text)
    if(text MATCHES "help-text")
        message(FATAL_ERROR "${page}(1) names the help wrapper instead of ${page}")
    endif()
endif()

# -n leaves the name and time out of the gzip header: the same page compresses to the same bytes.
execute_process(COMMAND gzip -9 -n -c "${roff}" OUTPUT_FILE "${OUTPUT}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip could not compress ${roff} (${status})")
endif()
