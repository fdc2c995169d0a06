# SPDX-License-Identifier: GPL-2.0-or-later
# CPack settings: `cpack -G DEB` in the Linux build makes korvane-tools_<version>_amd64.deb,
# `cpack -G ZIP` in the Windows cross-build makes korvane-tools-<version>-win64.zip. The version
# is the project's; the contents are the install rules of the programs and of packaging/.

set(CPACK_PACKAGE_NAME korvane-tools)
set(CPACK_PACKAGE_VENDOR "Korvane tools contributors")
set(CPACK_PACKAGE_CONTACT "Korvane tools contributors <korvane-tools@users.noreply.invalid>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tools for the Korvane plus vehicle data logger")
set(CPACK_PACKAGE_DESCRIPTION
    "Console programs for the Korvane plus, a USB HID data logger for vehicles:
kvlogs downloads the logger's log into raw.dat and exports its flights as
KML and CSV files; kvtrips turns raw.dat files into trips as GPX, GeoJSON,
KML, CSV and an HTML report with maps and profiles, with trip figures as a
table or JSON; kvflash uploads a firmware image into the logger.

A udev rule gives the user at the seat access to the logger, so that the
programs run without root.")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-win64")
  # The .exe files in the zip are the very files that the tests under wine ran.
  set(CPACK_STRIP_FILES OFF)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # korvane-tools_<version>_amd64.deb
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # Dependencies come from the programs' own shared libraries, through dpkg-shlibdeps.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
endif()

include(CPack)
