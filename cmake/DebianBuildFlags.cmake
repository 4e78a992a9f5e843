# Compiles and links with the flags Debian builds its packages with, hardening included:
# _FORTIFY_SOURCE, the stack protector, format checks, full RELRO with bind-now and PIE
# (DEB_BUILD_MAINT_OPTIONS=hardening=+all). Included before any target is defined.
find_program(KESSANDOR_DPKG_BUILDFLAGS dpkg-buildflags)
if(NOT KESSANDOR_DPKG_BUILDFLAGS)
    message(FATAL_ERROR "KESSANDOR_DEBIAN_BUILDFLAGS needs dpkg-buildflags (apt install dpkg-dev)")
endif()

function(kessandor_dpkg_buildflag flag out)
    # From the source directory, so -ffile-prefix-map maps the checkout to ".".
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                ${KESSANDOR_DPKG_BUILDFLAGS} --get ${flag}
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        OUTPUT_VARIABLE value OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    set(${out} "${value}" PARENT_SCOPE)
endfunction()

kessandor_dpkg_buildflag(CPPFLAGS KESSANDOR_DEB_CPPFLAGS)
kessandor_dpkg_buildflag(CXXFLAGS KESSANDOR_DEB_CXXFLAGS)
kessandor_dpkg_buildflag(LDFLAGS KESSANDOR_DEB_LDFLAGS)
# CMake has no place for the preprocessor's flags of their own: they go with the compiler's.
string(APPEND CMAKE_CXX_FLAGS " ${KESSANDOR_DEB_CPPFLAGS} ${KESSANDOR_DEB_CXXFLAGS}")
string(APPEND CMAKE_EXE_LINKER_FLAGS " ${KESSANDOR_DEB_LDFLAGS}")
message(STATUS "Debian build flags: ${KESSANDOR_DEB_CPPFLAGS} ${KESSANDOR_DEB_CXXFLAGS} | ${KESSANDOR_DEB_LDFLAGS}")
