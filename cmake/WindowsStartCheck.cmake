# SPDX-License-Identifier: GPL-2.0-or-later
# Runs kvlogs.exe or kvflash.exe, linked with hidapi's Windows back end, under wine (where hid_init
# fails) and compares its standard output byte for byte, its exit status and its imported DLLs.
# cmake -DPROGRAM=kvlogs|kvflash -DEXE=<file.exe> -DEMULATOR=<wine> -DOBJDUMP=<objdump> -P <this>

# Texts with their line ends made visible: a text that ends in "\r" and is written as a line must
# reach the stream as \r\n; a text-mode console would make it \r\r\n, so these comparisons also
# prove the binary console. The banner's rights notice is free wording: only its start is fixed.
if(PROGRAM STREQUAL "kvlogs")
  set(banner "Korvane plus Tripscope v.1.01a")
  set(banner_end "\\r\\n")
  string(CONCAT expected_rest
         "usage :\\r\\nConnect your KV+ to PC via USB , device must be on - and let the magic "
         "start :)\\r\\n\\nDevice not found \\r\\n")
  set(expected_status 0)
elseif(PROGRAM STREQUAL "kvflash")
  set(banner "Korvane plus flasher ver 1.01a")
  set(banner_end "\\n")
  string(CONCAT expected_rest
         "usage : Connect your KV+ to PC via USB , device must be on \\r\\n"
         "        by default program use firmware.vxo file to upgrade your device - but you can "
         "choose other vxo file by writing it name\\r\\n\\n"
         "HID initialization failed!\\n")
  set(expected_status 1)
else()
  message(FATAL_ERROR "PROGRAM must be kvlogs or kvflash")
endif()

# The programs must run on a Windows PC as they are: only the system's DLLs may be imported.
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE headers RESULT_VARIABLE objdump_status)
if(NOT objdump_status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${EXE} failed")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${headers}")
foreach(import IN LISTS imports)
  string(REPLACE "DLL Name: " "" dll "${import}")
  string(TOLOWER "${dll}" dll)
  if(NOT dll MATCHES "^(kernel32|msvcrt)\\.dll$")
    message(FATAL_ERROR "${EXE} imports ${dll}, which a Windows PC does not have by itself")
  endif()
endforeach()

# A file's bytes with "\r" and "\n" written as \r and \n. Read as hexadecimal digits, since
# file(READ) and execute_process drop the "\r" of every "\r\n" of a text.
function(kv_visible_file path out)
  file(READ "${path}" hex HEX)
  string(LENGTH "${hex}" length)
  set(text "")
  set(position 0)
  while(position LESS length)
    string(SUBSTRING "${hex}" ${position} 2 byte)
    if(byte STREQUAL "0d")
      string(APPEND text "\\r")
    elseif(byte STREQUAL "0a")
      string(APPEND text "\\n")
    else()
      math(EXPR code "0x${byte}")
      string(ASCII ${code} character)
      string(APPEND text "${character}")
    endif()
    math(EXPR position "${position} + 2")
  endwhile()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# An empty working directory: nothing that the program could pick up, and nothing left behind.
string(RANDOM LENGTH 12 suffix)
set(workdir "${CMAKE_CURRENT_BINARY_DIR}/windows_start_${PROGRAM}_${suffix}")
file(MAKE_DIRECTORY "${workdir}")
execute_process(COMMAND ${EMULATOR} ${EXE} WORKING_DIRECTORY "${workdir}" INPUT_FILE /dev/null
                OUTPUT_FILE "${workdir}.out" RESULT_VARIABLE status)
kv_visible_file("${workdir}.out" output)
file(REMOVE_RECURSE "${workdir}" "${workdir}.out")

set(failures "")
string(FIND "${output}" "\\n" line_end)
math(EXPR rest_start "${line_end} + 2")
string(SUBSTRING "${output}" 0 ${rest_start} banner_line)
string(SUBSTRING "${output}" ${rest_start} -1 rest)
string(FIND "${banner_line}" "${banner}" banner_position)
string(FIND "${banner_line}" "${banner_end}" banner_end_position REVERSE)
string(FIND "${banner_line}" "\\r\\r" doubled_return)
string(LENGTH "${banner_end}" banner_end_length)
math(EXPR wanted_end_position "${rest_start} - ${banner_end_length}")
if(line_end LESS 0 OR NOT banner_position EQUAL 0)
  string(APPEND failures "the first line does not begin with \"${banner}\"\n")
elseif(NOT banner_end_position EQUAL wanted_end_position OR NOT doubled_return EQUAL -1)
  string(APPEND failures "the banner line does not end with ${banner_end}\n")
endif()
if(NOT rest STREQUAL expected_rest)
  string(APPEND failures "after the banner line came\n  ${rest}\ninstead of\n  ${expected_rest}\n")
endif()
if(NOT status STREQUAL expected_status)
  string(APPEND failures "exit status ${status} instead of ${expected_status}\n")
endif()
if(failures)
  message(FATAL_ERROR "${PROGRAM}.exe under wine, output ${output}:\n${failures}")
endif()
message(STATUS "${PROGRAM}.exe under wine: output and exit status ${status} as expected")
