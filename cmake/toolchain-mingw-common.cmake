# Shared part of the MinGW-w64 toolchain files. The including file sets
# VANDREL_MINGW_TRIPLE (i686-w64-mingw32 or x86_64-w64-mingw32) first.
set(CMAKE_SYSTEM_NAME Windows)

# The posix-threads compilers come with a complete C++ thread library; the
# plain names are tried when a distribution only ships those.
# The POSIX threads flavour of MinGW-w64: std::thread, std::mutex and
# std::condition_variable on winpthreads, linked statically below so that
# the programs need no DLL of it.
find_program(VANDREL_MINGW_CXX NAMES ${VANDREL_MINGW_TRIPLE}-g++-posix REQUIRED)
find_program(VANDREL_MINGW_CC NAMES ${VANDREL_MINGW_TRIPLE}-gcc-posix REQUIRED)
find_program(VANDREL_MINGW_RC NAMES ${VANDREL_MINGW_TRIPLE}-windres)
set(CMAKE_CXX_COMPILER ${VANDREL_MINGW_CXX})
set(CMAKE_C_COMPILER ${VANDREL_MINGW_CC})
if(VANDREL_MINGW_RC)
  set(CMAKE_RC_COMPILER ${VANDREL_MINGW_RC})
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${VANDREL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# printf and friends from MinGW's own C99-conforming implementation instead
# of the system runtime's, so that %lu, %hu, %zu, %lld and the like mean on
# Windows what they mean with glibc.
add_compile_definitions(__USE_MINGW_ANSI_STDIO=1)

# Everything linked in statically: each .exe needs only system DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine; ctest and gtest_discover_tests use this.
find_program(VANDREL_WINE NAMES wine)
if(VANDREL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VANDREL_WINE})
endif()
