# Installation and packaging.
#
# `cmake --install` lays the game out the usual way under the prefix: bin/kessandor and
# share/man/man6/kessandor.6, with the licence in share/doc/kessandor/. On Windows it is one
# folder: kessandor.exe, the manual as plain text (kessandor.txt) and LICENSE.txt.
#
# `cpack` builds a Debian package laid out as Debian lays out games: the binary in
# /usr/games, the man page gzipped, the licence as /usr/share/doc/kessandor/copyright and
# docs/changelog.Debian gzipped beside it. That layout is a component of its own, left out
# of a plain `cmake --install`. Build the package from the deb preset, which compiles with
# Debian's hardening flags (cmake/DebianBuildFlags.cmake).
include(GNUInstallDirs)

set(KESSANDOR_CONTACT "The Kessandor developers <kessandor@example.org>")
set(KESSANDOR_MAN_PAGE ${PROJECT_SOURCE_DIR}/docs/kessandor.6)
set(KESSANDOR_LICENSE ${PROJECT_SOURCE_DIR}/docs/LICENSE)

if(WIN32)
    # Windows has no man command and no reader for troff: render the page as text at build
    # time, with the build machine's groff.
    find_program(KESSANDOR_GROFF groff REQUIRED)
    set(KESSANDOR_MANUAL_TEXT ${CMAKE_CURRENT_BINARY_DIR}/kessandor.txt)
    add_custom_command(
        OUTPUT ${KESSANDOR_MANUAL_TEXT}
        COMMAND ${CMAKE_COMMAND} -DGROFF=${KESSANDOR_GROFF} -DPAGE=${KESSANDOR_MAN_PAGE}
                -DOUTPUT=${KESSANDOR_MANUAL_TEXT} -P ${PROJECT_SOURCE_DIR}/cmake/RenderManual.cmake
        DEPENDS ${KESSANDOR_MAN_PAGE} ${PROJECT_SOURCE_DIR}/cmake/RenderManual.cmake
        COMMENT "Rendering the manual as text"
        VERBATIM)
    add_custom_target(kessandor_manual_text ALL DEPENDS ${KESSANDOR_MANUAL_TEXT})
    install(TARGETS kessandor RUNTIME DESTINATION . COMPONENT game)
    install(FILES ${KESSANDOR_MANUAL_TEXT} DESTINATION . COMPONENT game)
    install(FILES ${KESSANDOR_LICENSE} DESTINATION . RENAME LICENSE.txt COMPONENT game)
else()
    install(TARGETS kessandor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT game)
    install(FILES ${KESSANDOR_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man6 COMPONENT game)
    install(FILES ${KESSANDOR_LICENSE} DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT game)
endif()

set(CPACK_PACKAGE_NAME kessandor)
set(CPACK_PACKAGE_VENDOR "The Kessandor developers")
set(CPACK_PACKAGE_CONTACT "${KESSANDOR_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn-based game of interstellar trading")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://kessandor.example.org/")
set(CPACK_RESOURCE_FILE_LICENSE ${KESSANDOR_LICENSE})
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build/" "/\\\\.cache/")

if(WIN32)
    # A zip of one folder: the .exe, the manual as text and the licence.
    set(CPACK_GENERATOR ZIP)
    set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
    set(CPACK_COMPONENTS_ALL game)
    set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
    set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)  # unpacks into kessandor-1.0-win64/
    include(CPack)
    return()
endif()

# The Debian layout: component "deb", installed only by cpack.
find_program(KESSANDOR_GZIP gzip REQUIRED)

# Writes `directory`/`name`.gz from `source` as Debian wants it: -9, and -n leaves out the
# name and time stamp, so the same file always packs to the same bytes.
function(kessandor_gzip source directory name)
    set(copy ${CMAKE_CURRENT_BINARY_DIR}/${directory}/${name})
    add_custom_command(
        OUTPUT ${copy}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
        COMMAND ${KESSANDOR_GZIP} -9nf ${copy}
        DEPENDS ${source}
        COMMENT "Compressing ${name}"
        VERBATIM)
    add_custom_target(kessandor_gzip_${name} ALL DEPENDS ${copy}.gz)
endfunction()

set(KESSANDOR_MAN_GZ ${CMAKE_CURRENT_BINARY_DIR}/man/kessandor.6.gz)
kessandor_gzip(${KESSANDOR_MAN_PAGE} man kessandor.6)

# The package's version is the project's with the Debian revision of the changelog's newest
# entry, and the two must agree on the upstream part.
set(KESSANDOR_DEB_CHANGELOG ${PROJECT_SOURCE_DIR}/docs/changelog.Debian)
file(STRINGS ${KESSANDOR_DEB_CHANGELOG} KESSANDOR_DEB_NEWEST LIMIT_COUNT 1)
if(NOT KESSANDOR_DEB_NEWEST MATCHES "^kessandor \\(([^)]+)-([^)-]+)\\) ")
    message(FATAL_ERROR "docs/changelog.Debian: no version in '${KESSANDOR_DEB_NEWEST}'")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "docs/changelog.Debian is about ${CMAKE_MATCH_1}, the project is "
                        "${PROJECT_VERSION}: add an entry for this version")
endif()
set(CPACK_DEBIAN_PACKAGE_RELEASE ${CMAKE_MATCH_2})
set(KESSANDOR_DEB_CHANGELOG_GZ ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog.Debian.gz)
kessandor_gzip(${KESSANDOR_DEB_CHANGELOG} doc changelog.Debian)

# Debian wants the licence in its machine-readable copyright format.
file(READ ${KESSANDOR_LICENSE} KESSANDOR_LICENSE_TEXT)
string(REGEX REPLACE "^MIT License\n\nCopyright \\(c\\) ([^\n]*)\n\n" "" KESSANDOR_LICENSE_BODY
                     "${KESSANDOR_LICENSE_TEXT}")
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" _ "${KESSANDOR_LICENSE_TEXT}")
set(KESSANDOR_COPYRIGHT_HOLDER "${CMAKE_MATCH_1}")
string(STRIP "${KESSANDOR_LICENSE_BODY}" KESSANDOR_LICENSE_BODY)
string(REPLACE "\n\n" "\n.\n" KESSANDOR_LICENSE_BODY "${KESSANDOR_LICENSE_BODY}")
string(REPLACE "\n" "\n " KESSANDOR_LICENSE_BODY "${KESSANDOR_LICENSE_BODY}")
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: kessandor
Upstream-Contact: ${KESSANDOR_CONTACT}
Source: ${CPACK_PACKAGE_HOMEPAGE_URL}

Files: *
Copyright: ${KESSANDOR_COPYRIGHT_HOLDER}
License: Expat
 ${KESSANDOR_LICENSE_BODY}
")

# lintian takes a package whose changelog has one entry for a first upload to Debian, which
# should close the bug that announced it. This package is built by the game's developers and
# uploaded nowhere, so there is no such bug.
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/lintian/kessandor
"# Built by the game's developers, not uploaded to Debian: there is no ITP bug to close.
kessandor: initial-upload-closes-no-bugs
")

install(TARGETS kessandor RUNTIME DESTINATION games COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/lintian/kessandor
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${KESSANDOR_MAN_GZ} DESTINATION ${CMAKE_INSTALL_MANDIR}/man6 COMPONENT deb
        EXCLUDE_FROM_ALL)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/copyright ${KESSANDOR_DEB_CHANGELOG_GZ}
        DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT deb EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL deb)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_NAME kessandor)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KESSANDOR_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # Depends: from the libraries the binary links
# The summary above is the Description's first line; this is the text under it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Kessandor is a game for one to five players who share one terminal and take
turns at the keyboard. Build outposts on a galaxy map of stars, found and grow
shipping companies, steer their mergers, buy their shares and earn daily
dividends: the player with the highest net worth after the last day wins.")
include(CPack)
