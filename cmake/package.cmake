# The Debian package, made by cpack from an installed build tree (./dev.sh package): both
# programs, the clip module that korvel-render opens from the library folder, their manual pages,
# the desktop entry and icons, the bash completion, the README and the pages of docs/ it links.
# Its dependencies are read from the programs and the module by dpkg-shlibdeps (from dpkg-dev),
# so that they follow whatever the build links.

set(KORVEL_PACKAGE_MAINTAINER "Korvel maintainers <maintainers@korvel.example.org>"
    CACHE STRING "Maintainer field of the Debian package: Name <address>")

# Debian wants the copyright and a changelog beside the documentation. The changelog's one entry
# carries the project's version; its date is the build's, or SOURCE_DATE_EPOCH when that is set.
string(TIMESTAMP KORVEL_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${PROJECT_SOURCE_DIR}/resources/changelog.in ${PROJECT_BINARY_DIR}/changelog @ONLY)
set(KORVEL_CHANGELOG ${PROJECT_BINARY_DIR}/changelog.gz)
add_custom_command(
    OUTPUT ${KORVEL_CHANGELOG}
    COMMAND gzip -9 -n -c ${PROJECT_BINARY_DIR}/changelog > ${KORVEL_CHANGELOG}
    DEPENDS ${PROJECT_BINARY_DIR}/changelog
    COMMENT "Compressing the package's changelog")
add_custom_target(korvel-changelog ALL DEPENDS ${KORVEL_CHANGELOG})
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/resources/copyright
              ${KORVEL_CHANGELOG}
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The README shows the pictures of docs/ and links its pages by their paths relative to it.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs
        FILES_MATCHING PATTERN "*.png" PATTERN "*.svg" PATTERN "*.md")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvel)
set(CPACK_PACKAGE_VENDOR "Korvel")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "motion blur for numbered sequences of PNG frames")
# Lines stay under 80 columns, as dpkg shows them unwrapped.
set(CPACK_PACKAGE_DESCRIPTION
    "Korvel turns a numbered sequence of PNG frames into a shorter sequence of
motion-blurred frames: every group of consecutive frames is stacked onto one
transparent canvas, the first frame opaque and each following one fainter, and
saved as one PNG. It is made for animators and for people who capture
high-frame-rate footage.

korvel opens a window in which you choose the folder of frames, the folder for
the results, how many frames make one output frame and how strongly the trail
shows. korvel-render does the same from the command line or a script, and also
reads video clips and writes the result as a clip (Matroska, QuickTime, WebM or
MP4).")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KORVEL_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://korvel.example.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The build's symbols and line tables stay in the build tree, not in the package.
set(CPACK_STRIP_FILES ON)
include(CPack)

# What the package holds, to be built without the tests and benchmarks (./dev.sh package).
add_custom_target(korvel-package-contents)
add_dependencies(korvel-package-contents korvel korvel-render korvel-clips korvel-man-page
                 korvel-render-man-page korvel-changelog)
