# Cross-compiles Kessandor for 64-bit Windows with Debian's mingw-w64 (package
# g++-mingw-w64-x86-64-posix). The -posix compilers use the POSIX thread model, which
# libstdc++ needs for its full <thread> and <mutex> support.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KESSANDOR_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KESSANDOR_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KESSANDOR_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KESSANDOR_MINGW_TRIPLET}-windres)

# Look for libraries and headers in the Windows sysroot only; run the build machine's tools.
set(CMAKE_FIND_ROOT_PATH /usr/${KESSANDOR_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A self-contained .exe: the C and C++ runtimes and winpthread are linked in, so players
# need no DLLs beside the game.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

