# Cross build of the 32-bit Windows DLL with Debian's MinGW-w64 (posix thread
# model, which GoogleTest needs for std::mutex). Programs built here run under
# Wine, so CTest can start them directly.
#
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(KESTA_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${KESTA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KESTA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KESTA_MINGW_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${KESTA_MINGW_TRIPLE}-objdump CACHE FILEPATH "objdump of the target")

set(CMAKE_FIND_ROOT_PATH /usr/${KESTA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Double arithmetic in SSE2 registers, as on the native build: the x87 unit
# keeps 80-bit intermediates (GCC 12 has no -fexcess-precision=standard for
# C++), so 1000 * 0.95 truncated would give 949 instead of 950 for the card
# library's timeout. The DLL therefore needs a processor with SSE2.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

# The compiler's own runtime (libgcc, libstdc++, winpthread) is linked in, so
# the DLLs and programs import nothing but system DLLs and TAMSYS.DLL.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

find_program(KESTA_WINE wine)
if(KESTA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KESTA_WINE})
endif()
