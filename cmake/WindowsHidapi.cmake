# SPDX-License-Identifier: GPL-2.0-or-later
# Windows: hidapi's Windows back end for kvflash.exe and kvlogs.exe, built from the windows/hid.c
# of Debian's hidapi source package (fetched by .ci/windows.sh, never kept in git), and the check
# that the real programs start under wine.

if(NOT KV_HIDAPI_SOURCE_DIR OR NOT EXISTS "${KV_HIDAPI_SOURCE_DIR}/windows/hid.c")
  message(FATAL_ERROR "KV_HIDAPI_SOURCE_DIR must name hidapi's source tree (windows/hid.c); "
                      ".ci/windows.sh fetches it with apt-get source hidapi")
endif()

# The programs, the emulated logger and the back end must share one hidapi.h: the one of the
# source tree whose hid.c is linked, never a copy of another version found on the build machine.
file(REAL_PATH "${KV_HIDAPI_SOURCE_DIR}" kv_hidapi_tree)
file(REAL_PATH "${HIDAPI_INCLUDE_DIR}" kv_hidapi_header_dir)
if(NOT kv_hidapi_header_dir STREQUAL kv_hidapi_tree)
  message(FATAL_ERROR "hidapi/hidapi.h was found in ${HIDAPI_INCLUDE_DIR}, not in "
                      "${KV_HIDAPI_SOURCE_DIR}; configure with -DHIDAPI_INCLUDE_DIR=${KV_HIDAPI_SOURCE_DIR}")
endif()

# hid.c loads hid.dll and cfgmgr32.dll at run time, so it needs no import libraries. HIDAPI_USE_DDK
# stays undefined: mingw-w64 has no DDK headers of the kind it expects.
add_library(hidapi_backend STATIC "${KV_HIDAPI_SOURCE_DIR}/windows/hid.c")
target_include_directories(hidapi_backend SYSTEM PRIVATE "${KV_HIDAPI_SOURCE_DIR}/hidapi"
                                                         "${KV_HIDAPI_SOURCE_DIR}/windows")
# GCC 12 at -O2 sees out-of-bounds accesses in hid.c's string handling that are not there; the
# warning is silenced for this third-party file only.
target_compile_options(hidapi_backend PRIVATE -Wno-array-bounds)

# Under wine, hid_init fails (wine's cfgmgr32.dll lacks a function that hidapi loads), which is
# what the real programs must survive: kvlogs.exe reports no device, kvflash.exe a failed
# initialisation. The programs are defined after this file, so the tests are added at the end of
# the top directory.
set(KV_WINDOWS_START_CHECK "${CMAKE_CURRENT_LIST_DIR}/WindowsStartCheck.cmake")
function(kv_add_windows_start_tests)
  if(NOT KV_BUILD_TESTS OR NOT CMAKE_CROSSCOMPILING_EMULATOR)
    return()
  endif()
  foreach(program kvlogs kvflash)
    if(TARGET ${program})
      add_test(NAME windows_${program}_start
               COMMAND ${CMAKE_COMMAND} -DPROGRAM=${program} -DEXE=$<TARGET_FILE:${program}>
                       "-DEMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR}" -DOBJDUMP=${CMAKE_OBJDUMP}
                       -P ${KV_WINDOWS_START_CHECK})
    endif()
  endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL kv_add_windows_start_tests)
