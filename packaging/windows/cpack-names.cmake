# SPDX-FileCopyrightText: 2026 the npt-desk authors
# SPDX-License-Identifier: GPL-3.0-or-later
# Read by cpack for each generator: the installer and the portable folder get their own names.
if(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_PACKAGE_FILE_NAME "npt-desk-${CPACK_PACKAGE_VERSION}-setup")
else()
  set(CPACK_PACKAGE_FILE_NAME "npt-desk-${CPACK_PACKAGE_VERSION}-windows-x64")
endif()
