# Installation and packaging.
#
# `cmake --install` lays the game out the usual way under the prefix: bin/kessandor and
# share/man/man6/kessandor.6, with the licence in share/doc/kessandor/.
#
# `cpack` builds a Debian package laid out as Debian lays out games: the binary in
# /usr/games, the man page gzipped, and the licence as /usr/share/doc/kessandor/copyright.
# That layout is a component of its own, left out of a plain `cmake --install`.
include(GNUInstallDirs)

set(KESSANDOR_CONTACT "The Kessandor developers <kessandor@example.org>")
set(KESSANDOR_MAN_PAGE ${PROJECT_SOURCE_DIR}/docs/kessandor.6)
set(KESSANDOR_LICENSE ${PROJECT_SOURCE_DIR}/docs/LICENSE)

install(TARGETS kessandor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT game)
install(FILES ${KESSANDOR_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man6 COMPONENT game)
install(FILES ${KESSANDOR_LICENSE} DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT game)

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
    # A zip of the .exe, the man page and the licence.
    set(CPACK_GENERATOR ZIP)
    set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
    set(CPACK_COMPONENTS_ALL game)
    set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
    include(CPack)
    return()
endif()

# The Debian layout: component "deb", installed only by cpack.
find_program(KESSANDOR_GZIP gzip REQUIRED)
set(KESSANDOR_MAN_GZ ${CMAKE_CURRENT_BINARY_DIR}/man/kessandor.6.gz)
add_custom_command(
    OUTPUT ${KESSANDOR_MAN_GZ}
    COMMAND ${CMAKE_COMMAND} -E copy ${KESSANDOR_MAN_PAGE} ${CMAKE_CURRENT_BINARY_DIR}/man/kessandor.6
    # -n leaves out the name and time stamp, so the same page always packs to the same bytes.
    COMMAND ${KESSANDOR_GZIP} -9nf ${CMAKE_CURRENT_BINARY_DIR}/man/kessandor.6
    DEPENDS ${KESSANDOR_MAN_PAGE}
    COMMENT "Compressing the man page"
    VERBATIM)
add_custom_target(kessandor_man_page ALL DEPENDS ${KESSANDOR_MAN_GZ})

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

install(TARGETS kessandor RUNTIME DESTINATION games COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${KESSANDOR_MAN_GZ} DESTINATION ${CMAKE_INSTALL_MANDIR}/man6 COMPONENT deb
        EXCLUDE_FROM_ALL)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR}
        COMPONENT deb EXCLUDE_FROM_ALL)

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
