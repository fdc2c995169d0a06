# SPDX-License-Identifier: GPL-2.0-or-later
# Cross-compiles the Windows x86_64 console programs with mingw-w64 and runs them under wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The posix thread model: the win32 variant's libstdc++ has no std::thread or std::mutex.
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# Fully static: the .exe files then import only KERNEL32.dll and msvcrt.dll, no winpthread or
# libstdc++ DLL has to travel with them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# hidapi's Windows source tree stands beside the target's root, so that its header is found
# there and never the build machine's /usr/include copy.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
if(KV_HIDAPI_SOURCE_DIR)
  list(APPEND CMAKE_FIND_ROOT_PATH ${KV_HIDAPI_SOURCE_DIR})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest runs the test executables under wine unchanged; without wine the programs still build.
# TZ stays set in the test processes: once a process has removed TZ and called _tzset, wine's C
# runtime shows no daylight-saving time for any zone that the process sets after that.
find_program(KV_WINE wine)
if(KV_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR env TZ=UTC0 ${KV_WINE})
endif()

# The real device back end is hidapi's Windows source (cmake/WindowsHidapi.cmake), not the
# build machine's shared library found with pkg-config.
set(KV_SYSTEM_HIDAPI OFF CACHE BOOL "Build kvflash and kvlogs against the system's hidapi")
