# 32-bit x86 Linux with the host's multilib g++ (-m32), linked statically so
# that qemu-i386 runs the programs on any x86-64 kernel, including one built
# without 32-bit support:
#   cmake -S . -B build-i686 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-linux-i686.cmake
# The 32-bit data model of the Windows i686 build (4-byte pointers, size_t
# and long) and its SSE2 arithmetic, checked where Wine's 32-bit loader
# cannot run.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
# Doubles in SSE2 registers, as in the Windows i686 build, not in the x87
# unit's 80 bits; 64-bit file offsets, as that build has through _lseeki64.
set(CMAKE_C_FLAGS_INIT "-m32 -msse2 -mfpmath=sse -D_FILE_OFFSET_BITS=64")
set(CMAKE_CXX_FLAGS_INIT "-m32 -msse2 -mfpmath=sse -D_FILE_OFFSET_BITS=64")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32 -static")
# The 32-bit libraries (libz.a of lib32z1-dev) are in /usr/lib32.
set_property(GLOBAL PROPERTY FIND_LIBRARY_USE_LIB32_PATHS TRUE)
find_program(VANDREL_QEMU_I386 NAMES qemu-i386 qemu-i386-static)
if(VANDREL_QEMU_I386)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VANDREL_QEMU_I386})
endif()
