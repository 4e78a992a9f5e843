# GoogleTest for the tests: the system's copy when one is installed, otherwise a download of a
# fixed release when the network allows it. When neither works, configuring stops at once
# with one line that says what to install, instead of waiting on a network that is not there.
#
# KESSANDOR_GTEST_URL        where the release comes from (a local archive works too)
# FETCHCONTENT_FULLY_DISCONNECTED=ON   never download
# FETCHCONTENT_SOURCE_DIR_GOOGLETEST   an unpacked GoogleTest to build instead
set(KESSANDOR_GTEST_URL
    "https://github.com/google/googletest/archive/refs/tags/release-1.12.1.tar.gz"
    CACHE STRING "Where to download GoogleTest from when it is not installed")

find_package(GTest QUIET)
if(GTest_FOUND)
    return()
endif()

# Stops configuring with `reason` and what to do about it, on one line: CMake leaves a
# message that starts with a space as it is instead of wrapping it.
function(kessandor_gtest_missing reason)
    message(FATAL_ERROR " GoogleTest ${reason}: install it (Debian/Ubuntu: libgtest-dev "
            "libgmock-dev; Fedora: gtest-devel gmock-devel; macOS: brew install googletest) "
            "or configure with -DKESSANDOR_TESTS=OFF to build the game alone")
endfunction()

include(FetchContent)
if(FETCHCONTENT_SOURCE_DIR_GOOGLETEST)
    FetchContent_Declare(googletest SOURCE_DIR ${FETCHCONTENT_SOURCE_DIR_GOOGLETEST})
else()
    # Download the archive here, once and with a short time limit, so that a machine without
    # the network learns it in seconds; FetchContent then unpacks the local copy.
    set(_kessandor_gtest_archive ${CMAKE_BINARY_DIR}/_deps/googletest-release.tar.gz)
    if(NOT EXISTS ${_kessandor_gtest_archive})
        if(FETCHCONTENT_FULLY_DISCONNECTED)
            kessandor_gtest_missing("is not installed and downloads are off")
        endif()
        message(STATUS "GoogleTest is not installed: downloading ${KESSANDOR_GTEST_URL}")
        file(DOWNLOAD ${KESSANDOR_GTEST_URL} ${_kessandor_gtest_archive}.part
             TIMEOUT 60 INACTIVITY_TIMEOUT 15 STATUS _kessandor_gtest_status)
        list(GET _kessandor_gtest_status 0 _kessandor_gtest_code)
        if(NOT _kessandor_gtest_code EQUAL 0)
            list(GET _kessandor_gtest_status 1 _kessandor_gtest_error)
            file(REMOVE ${_kessandor_gtest_archive}.part)
            kessandor_gtest_missing("is not installed and cannot be downloaded (${_kessandor_gtest_error})")
        endif()
        file(RENAME ${_kessandor_gtest_archive}.part ${_kessandor_gtest_archive})
    endif()
    FetchContent_Declare(googletest URL ${_kessandor_gtest_archive})
endif()
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)  # keep GoogleTest out of our install
FetchContent_MakeAvailable(googletest)
