# SPDX-FileCopyrightText: 2026 the npt-desk authors
# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the POSIX threads model, which
# std::thread needs). Used for Qt itself and for npt-desk; NPT_WINDOWS_PREFIX names the folder
# of the libraries built for Windows (Qt, libxlsxwriter, GoogleTest: scripts/windows-qt),
# searched before the MinGW sysroot.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
# One folder or several, separated by ':', from -DNPT_WINDOWS_PREFIX or the environment; kept in
# the cache so that a later reconfiguration finds the same libraries.
if(NOT NPT_WINDOWS_PREFIX AND DEFINED ENV{NPT_WINDOWS_PREFIX})
  set(NPT_WINDOWS_PREFIX "$ENV{NPT_WINDOWS_PREFIX}" CACHE STRING "Folders of the Windows libraries")
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES NPT_WINDOWS_PREFIX)
if(NPT_WINDOWS_PREFIX)
  string(REPLACE ":" ";" npt_prefixes "${NPT_WINDOWS_PREFIX}")
  list(PREPEND CMAKE_FIND_ROOT_PATH ${npt_prefixes})
endif()
# pkg-config reads only the Windows libraries' .pc files, never the host's.
set(npt_pc_dirs "")
foreach(root IN LISTS CMAKE_FIND_ROOT_PATH)
  list(APPEND npt_pc_dirs "${root}/lib/pkgconfig")
endforeach()
string(REPLACE ";" ":" npt_pc_dirs "${npt_pc_dirs}")
set(ENV{PKG_CONFIG_LIBDIR} "${npt_pc_dirs}")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs built here are run by Wine (ctest, and CMake's own checks where it must run one).
# Debian's wine64 keeps its loader out of PATH, in /usr/lib/wine.
find_program(NPT_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
# Wine finds the MinGW runtime, zlib and the prefixes' DLLs (Qt's) through WINEPATH, as Windows
# finds them beside the program once deployed.
if(NPT_WINE64)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
                  OUTPUT_VARIABLE npt_libstdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
  get_filename_component(npt_gcc_dlls "${npt_libstdcxx}" DIRECTORY)
  set(npt_wine_dlls "${npt_gcc_dlls}:/usr/x86_64-w64-mingw32/lib")
  foreach(root IN LISTS CMAKE_FIND_ROOT_PATH)
    string(APPEND npt_wine_dlls ":${root}/bin")
  endforeach()
  set(CMAKE_CROSSCOMPILING_EMULATOR env "NPT_WINE_DLLS=${npt_wine_dlls}" "NPT_WINE64=${NPT_WINE64}"
                                    ${CMAKE_CURRENT_LIST_DIR}/wine-run)
endif()
