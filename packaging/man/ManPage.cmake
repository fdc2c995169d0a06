# SPDX-License-Identifier: GPL-2.0-or-later
# Builds one manual page: the scdoc source with the project version filled in, turned into roff
# by scdoc and compressed with gzip -9n (the page for man -l, the .gz for the package).
# cmake -DSOURCE=<page.1.scd> -DPAGE=<page.1> -DVERSION=<x.y> -DSCDOC=<scdoc> -DGZIP=<gzip> -P <this>

file(READ "${SOURCE}" text)
string(REPLACE "@PROJECT_VERSION@" "${VERSION}" text "${text}")
if(text MATCHES "@[A-Z_]+@")
  message(FATAL_ERROR "${SOURCE}: ${CMAKE_MATCH_0} is not filled in by the build")
endif()
file(WRITE "${PAGE}.scd" "${text}")

execute_process(COMMAND "${SCDOC}" INPUT_FILE "${PAGE}.scd" OUTPUT_FILE "${PAGE}"
                ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE "${PAGE}")
  message(FATAL_ERROR "scdoc failed on ${SOURCE}: ${errors}")
endif()
execute_process(COMMAND "${GZIP}" -9 -n -c "${PAGE}" OUTPUT_FILE "${PAGE}.gz" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE "${PAGE}.gz")
  message(FATAL_ERROR "gzip failed on ${PAGE}")
endif()
