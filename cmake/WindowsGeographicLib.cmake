# SPDX-License-Identifier: GPL-2.0-or-later
# Windows: GeographicLib for kvtrips.exe, built from the sources of Debian's geographiclib source
# package (fetched by .ci/windows.sh with apt-get source geographiclib, never kept in git). Only
# the classes kvtrips uses (Geodesic, Geocentric) and what they need are compiled, as a static
# library, with the Config.h that GeographicLib's own build would write for a double-precision
# static library.

if(NOT KV_GEOGRAPHICLIB_SOURCE_DIR OR
   NOT EXISTS "${KV_GEOGRAPHICLIB_SOURCE_DIR}/src/Geodesic.cpp")
  message(FATAL_ERROR "KV_GEOGRAPHICLIB_SOURCE_DIR must name GeographicLib's source tree "
                      "(src/Geodesic.cpp); .ci/windows.sh fetches it with apt-get source "
                      "geographiclib")
endif()

# A function, so that the version variables that Config.h.in names stay GeographicLib's own.
function(kv_geographiclib_config_header)
  file(STRINGS "${KV_GEOGRAPHICLIB_SOURCE_DIR}/VERSION" kv_geographiclib_version LIMIT_COUNT 1)
  string(REGEX MATCH "^([0-9]+)\\.([0-9]+)(\\.([0-9]+))?" kv_geographiclib_version
               "${kv_geographiclib_version}")
  set(PROJECT_VERSION ${CMAKE_MATCH_0})
  set(PROJECT_VERSION_MAJOR ${CMAKE_MATCH_1})
  set(PROJECT_VERSION_MINOR ${CMAKE_MATCH_2})
  set(PROJECT_VERSION_PATCH ${CMAKE_MATCH_4})
  if(NOT PROJECT_VERSION_PATCH)
    set(PROJECT_VERSION_PATCH 0)
  endif()
  set(GEOGRAPHICLIB_DATA "")
  set(GEOGRAPHICLIB_HAVE_LONG_DOUBLE 1)
  set(GEOGRAPHICLIB_WORDS_BIGENDIAN 0)
  set(GEOGRAPHICLIB_PRECISION 2)     # double
  set(GEOGRAPHICLIB_LIB_TYPE_VAL 0)  # static
  configure_file("${KV_GEOGRAPHICLIB_SOURCE_DIR}/include/GeographicLib/Config.h.in"
                 "${kv_geographiclib_config}/GeographicLib/Config.h")
endfunction()
set(kv_geographiclib_config "${CMAKE_BINARY_DIR}/geographiclib-config")
kv_geographiclib_config_header()

add_library(kv_geographiclib STATIC
            "${KV_GEOGRAPHICLIB_SOURCE_DIR}/src/Geodesic.cpp"
            "${KV_GEOGRAPHICLIB_SOURCE_DIR}/src/GeodesicLine.cpp"
            "${KV_GEOGRAPHICLIB_SOURCE_DIR}/src/Geocentric.cpp"
            "${KV_GEOGRAPHICLIB_SOURCE_DIR}/src/Math.cpp")
target_include_directories(kv_geographiclib SYSTEM PUBLIC "${kv_geographiclib_config}"
                                                          "${KV_GEOGRAPHICLIB_SOURCE_DIR}/include")
# GeographicLib is written for C++11; under C++20 GCC warns about its enum arithmetic. Its own
# build uses C++11, and so does this one.
set_target_properties(kv_geographiclib PROPERTIES CXX_STANDARD 11)
