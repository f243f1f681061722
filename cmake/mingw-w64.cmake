# Cross build for 64-bit Windows with Debian's MinGW-w64 (the -posix compilers, whose libstdc++
# has std::thread). Tests run under Wine when it is installed.
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(Q2E_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${Q2E_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${Q2E_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${Q2E_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${Q2E_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The executables carry their runtime (libstdc++, libgcc, winpthread), so they run from any
# folder, under Wine as on Windows.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(Q2E_WINE NAMES wine wine64)
if(Q2E_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${Q2E_WINE})
endif()
