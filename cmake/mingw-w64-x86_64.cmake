# Cross build for 64-bit Windows with Debian's mingw-w64 (the posix thread model, so the C++
# library's threads, mutexes and thread_local work) and Wine to run what was built.
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUARNELS_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUARNELS_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUARNELS_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QUARNELS_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUARNELS_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs built here run under Wine (test discovery and the tests themselves). The 64-bit loader is
# named directly: the wine wrapper script also wants the 32-bit Wine, which a 64-bit build never needs.
find_program(QUARNELS_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT QUARNELS_WINE)
  find_program(QUARNELS_WINE NAMES wine64 wine)
endif()
if(QUARNELS_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUARNELS_WINE})
endif()

# The deliverables carry the compiler's runtime inside, so they run without mingw's DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
