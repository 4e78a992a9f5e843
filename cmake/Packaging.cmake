# Installation and the Windows zip.
#
# `cmake --install` lays the game out the usual way under the prefix: bin/kessandor and
# share/man/man6/kessandor.6, with the licence in share/doc/kessandor/. The Debian package
# (debian/, built with dpkg-buildpackage) installs with these same rules, its programs in
# games/ instead of bin/. On Windows it is one folder: kessandor.exe, the manual as plain text
# (kessandor.txt) and LICENSE.txt, which `cpack` zips for players.
include(GNUInstallDirs)

set(KESSANDOR_MAN_PAGE ${PROJECT_SOURCE_DIR}/docs/kessandor.6)
set(KESSANDOR_LICENSE ${PROJECT_SOURCE_DIR}/docs/LICENSE)

if(NOT WIN32)
    install(TARGETS kessandor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${KESSANDOR_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
    install(FILES ${KESSANDOR_LICENSE} DESTINATION ${CMAKE_INSTALL_DOCDIR})
    return()
endif()

# Windows has no man command and no reader for troff: render the page as text at build time,
# with the build machine's groff.
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

# A zip of one folder, kessandor-1.0-win64/: the .exe, the manual as text and the licence.
set(CPACK_PACKAGE_NAME kessandor)
set(CPACK_PACKAGE_VENDOR "The Kessandor developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn-based game of interstellar trading")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://kessandor.example.org/")
set(CPACK_RESOURCE_FILE_LICENSE ${KESSANDOR_LICENSE})
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR ZIP)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL game)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
