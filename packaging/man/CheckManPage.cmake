# SPDX-License-Identifier: GPL-2.0-or-later
# Checks one built manual page: man-db formats it without a single warning (as lintian runs it),
# and, when the program is given, the page names every option of its --help and the version that
# its --version prints.
# cmake -DPAGE=<page.1> -DMAN=<man> [-DPROGRAM=<exe> -DNAME=<name> -DVERSION=<x.y>] -P <this>

execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 MANROFFSEQ= MANWIDTH=80
                        "${MAN}" --warnings -E UTF-8 -l -Tutf8 -Z "${PAGE}"
                OUTPUT_VARIABLE formatted ERROR_VARIABLE warnings RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT warnings STREQUAL "")
  message(FATAL_ERROR "man --warnings -l ${PAGE}: status ${status}\n${warnings}")
endif()
if(NOT PROGRAM)
  return()
endif()

execute_process(COMMAND "${PROGRAM}" --version OUTPUT_VARIABLE version_text RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT version_text STREQUAL "${NAME} ${VERSION}\n")
  message(FATAL_ERROR "${NAME} --version printed \"${version_text}\" (status ${status}), "
                      "not \"${NAME} ${VERSION}\"")
endif()
file(READ "${PAGE}.scd" page)
if(NOT page MATCHES "${NAME} ${VERSION}")
  message(FATAL_ERROR "${PAGE} does not name version ${VERSION}")
endif()

execute_process(COMMAND "${PROGRAM}" --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
string(REGEX MATCHALL "(^|[ \t\n,])(--?[a-zA-Z][a-zA-Z-]*)" options "${help}")
set(missing "")
foreach(option IN LISTS options)
  string(REGEX REPLACE "^[ \t\n,]" "" option "${option}")
  string(FIND "${page}" "*${option}*" position)
  if(position EQUAL -1)
    list(APPEND missing "${option}")
  endif()
endforeach()
if(NOT status EQUAL 0 OR NOT options OR missing)
  message(FATAL_ERROR "${NAME} --help (status ${status}) shows options that ${PAGE} lacks: "
                      "${missing}\n${help}")
endif()
