# SPDX-FileCopyrightText: 2026 the npt-desk authors
# SPDX-License-Identifier: GPL-3.0-or-later
# npt-desk for Windows: one folder that runs as it stands (the programs, every DLL they load but
# Windows' own, Qt's platform and style plugins, Qt's Russian dialogs, the example recordings
# and the licence), made into a portable .zip and an NSIS installer by CPack:
#   cpack -G ZIP    npt-desk-<version>-windows-x64.zip
#   cpack -G NSIS   npt-desk-<version>-setup.exe (Start-menu entry with the icon, uninstaller)
# The user's settings (%APPDATA%\npt-desk) are the user's: the uninstaller leaves them.
set(NPT_PACKAGE_NAME npt-desk)

install(TARGETS npt RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/examples/night.txt
              ${PROJECT_SOURCE_DIR}/examples/night-password.txt
        DESTINATION examples)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)

# Qt looks for its plugins and translations below the programs' own folder.
file(WRITE ${CMAKE_BINARY_DIR}/qt.conf "[Paths]\nPrefix = .\n")
install(FILES ${CMAKE_BINARY_DIR}/qt.conf DESTINATION .)
# The standard dialogs' buttons in Russian: Qt's translations are the same files on every
# system, so the host's serve (Debian's qt6-translations-l10n).
find_file(NPT_QTBASE_RU qtbase_ru.qm PATHS /usr/share/qt6/translations NO_CMAKE_FIND_ROOT_PATH
          NO_DEFAULT_PATH)
if(NPT_QTBASE_RU)
  install(FILES ${NPT_QTBASE_RU} DESTINATION translations)
else()
  message(WARNING "qtbase_ru.qm not found (qt6-translations-l10n): the dialogs' buttons stay in English")
endif()

# The DLLs, from Qt's prefix, the MinGW runtime's folders and the other prefixes.
find_program(NPT_OBJDUMP x86_64-w64-mingw32-objdump REQUIRED)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
                OUTPUT_VARIABLE npt_libstdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(npt_gcc_dlls "${npt_libstdcxx}" DIRECTORY)
# Qt's prefix: the one of the Windows prefixes that holds its Windows platform plugin.
set(npt_qt_prefix "")
foreach(root IN LISTS CMAKE_FIND_ROOT_PATH)
  if(NOT npt_qt_prefix AND EXISTS ${root}/plugins/platforms/qwindows.dll)
    set(npt_qt_prefix ${root})
  endif()
endforeach()
if(NOT npt_qt_prefix)
  message(FATAL_ERROR "No Qt for Windows among ${CMAKE_FIND_ROOT_PATH} (NPT_WINDOWS_PREFIX)")
endif()
set(npt_deploy_search ${npt_qt_prefix}/bin ${npt_gcc_dlls})
foreach(root IN LISTS CMAKE_FIND_ROOT_PATH)
  list(APPEND npt_deploy_search ${root}/bin ${root}/lib)
endforeach()
# The screen's platform, and the one without a screen that --screenshot draws on.
set(npt_plugins platforms/qwindows.dll platforms/qoffscreen.dll)
if(EXISTS ${npt_qt_prefix}/plugins/styles/qwindowsvistastyle.dll)
  list(APPEND npt_plugins styles/qwindowsvistastyle.dll)
endif()
install(CODE "
  set(NPT_DEPLOY_DIR \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
  set(NPT_DEPLOY_OBJDUMP \"${NPT_OBJDUMP}\")
  set(NPT_DEPLOY_SEARCH \"${npt_deploy_search}\")
  set(NPT_DEPLOY_PLUGINS \"${npt_plugins}\")
  set(NPT_DEPLOY_QT_PLUGINS_DIR \"${npt_qt_prefix}/plugins\")
  include(\"${CMAKE_CURRENT_LIST_DIR}/DeployWindows.cmake\")")

# CPack's NSIS script, made for a 64-bit Unicode installer: wine64 runs it without 32-bit Wine,
# and Windows installs it into "Program Files", not "Program Files (x86)".
set(npt_nsis_dir ${CMAKE_BINARY_DIR}/nsis-template)
set(npt_cmake_nsis ${CMAKE_ROOT}/Modules/Internal/CPack/NSIS.template.in)
file(READ ${npt_cmake_nsis} npt_nsis_start LIMIT 3 HEX)
if(npt_nsis_start STREQUAL "efbbbf")  # a UTF-8 byte-order mark, which must stay first
  file(READ ${npt_cmake_nsis} npt_nsis_template OFFSET 3)
else()
  file(READ ${npt_cmake_nsis} npt_nsis_template)
endif()
file(WRITE ${npt_nsis_dir}/NSIS.template.in "Target amd64-unicode\n${npt_nsis_template}")
list(PREPEND CMAKE_MODULE_PATH ${npt_nsis_dir})

set(CPACK_GENERATOR "ZIP;NSIS")
set(CPACK_PACKAGE_NAME ${NPT_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR "npt-desk authors")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "nocturnal penile tumescence test: recorder, chart and report")
set(CPACK_PACKAGE_INSTALL_DIRECTORY ${NPT_PACKAGE_NAME})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_EXECUTABLES "npt-desk;npt-desk")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY ".")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_DISPLAY_NAME ${NPT_PACKAGE_NAME})
set(CPACK_NSIS_PACKAGE_NAME ${NPT_PACKAGE_NAME})
set(CPACK_NSIS_INSTALLED_ICON_NAME "npt-desk.exe")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_MODIFY_PATH OFF)
if(NPT_WINDOWS_ICON)
  set(CPACK_NSIS_MUI_ICON ${NPT_WINDOWS_ICON})
  set(CPACK_NSIS_MUI_UNIICON ${NPT_WINDOWS_ICON})
endif()
# The two files' names: set per generator when cpack runs.
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/packaging/windows/cpack-names.cmake)
set(CPACK_STRIP_FILES TRUE)
include(CPack)
