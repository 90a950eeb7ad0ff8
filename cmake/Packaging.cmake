# SPDX-FileCopyrightText: 2026 the npt-desk authors
# SPDX-License-Identifier: GPL-3.0-or-later
# npt-desk as an installed desktop application, and the Debian package made from that
# installation. The targets' own folders install the programs, the desktop entry and the udev
# rule; this file adds what belongs to the installation as a whole: the npt tool, the theme's
# icons, the manual pages, the example recordings, the copyright and changelog, and CPack's DEB
# settings. scripts/package configures a tree for the package (prefix /usr, Debian's hardening
# flags) and runs cpack in it.
if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/WindowsPackaging.cmake)
  return()
endif()
include(GNUInstallDirs)
find_program(NPT_GZIP gzip REQUIRED)

# The package's own name: the project's name (npt_desk) is no Debian package name.
set(NPT_PACKAGE_NAME npt-desk)
set(NPT_PACKAGE_MAINTAINER "npt-desk developers <npt-desk@example.org>"
    CACHE STRING "The package's Maintainer field, as \"Name <address>\"")
set(npt_docdir ${CMAKE_INSTALL_DATADIR}/doc/${NPT_PACKAGE_NAME})
set(npt_packaging ${PROJECT_SOURCE_DIR}/packaging)

# Compressed as Debian keeps them (gzip -9, no name or time stamp inside, so the same text
# gives the same bytes). Each output is added to the list named by out_list.
function(npt_gzip source output out_list)
  add_custom_command(
    OUTPUT ${output}
    COMMAND sh -c "\"$0\" -9 -n -c \"$1\" > \"$2\"" ${NPT_GZIP} ${source} ${output}
    DEPENDS ${source}
    COMMENT "Compressing ${output}"
    VERBATIM)
  set(${out_list} ${${out_list}} ${output} PARENT_SCOPE)
endfunction()

install(TARGETS npt RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${PROJECT_SOURCE_DIR}/examples/night.txt
              ${PROJECT_SOURCE_DIR}/examples/night-password.txt
        DESTINATION ${CMAKE_INSTALL_DATADIR}/${NPT_PACKAGE_NAME}/examples)

# Manual pages, English and Russian, of the programs this tree builds; the version they name is
# the project's.
set(npt_man_programs npt npt-recorder-sim)
if(TARGET npt-desk)
  list(APPEND npt_man_programs npt-desk)
endif()
set(npt_compressed)
foreach(program IN LISTS npt_man_programs)
  foreach(language IN ITEMS "" ru)
    set(dir man)
    set(destination ${CMAKE_INSTALL_MANDIR}/man1)
    if(language)
      set(dir man/${language})
      set(destination ${CMAKE_INSTALL_MANDIR}/${language}/man1)
    endif()
    set(page ${CMAKE_BINARY_DIR}/${dir}/${program}.1)
    configure_file(${npt_packaging}/${dir}/${program}.1.in ${page} @ONLY)
    npt_gzip(${page} ${page}.gz npt_compressed)
    install(FILES ${page}.gz DESTINATION ${destination})
  endforeach()
endforeach()

# The copyright file names the licence that NPT_LICENSE sets for the programs, by its Debian
# short name NPT_LICENSE_DEBIAN: the two never differ.
file(STRINGS ${npt_packaging}/copyright npt_copyright_lines)
set(npt_copyright_license "")
set(npt_in_all_files FALSE)
foreach(line IN LISTS npt_copyright_lines)
  if(line STREQUAL "Files: *")
    set(npt_in_all_files TRUE)
  elseif(npt_in_all_files AND line MATCHES "^License: (.*)$")
    set(npt_copyright_license ${CMAKE_MATCH_1})
    break()
  endif()
endforeach()
if(NOT npt_copyright_license STREQUAL NPT_LICENSE_DEBIAN)
  message(FATAL_ERROR "packaging/copyright names the licence \"${npt_copyright_license}\" for "
                      "\"Files: *\", CMakeLists.txt sets NPT_LICENSE_DEBIAN \"${NPT_LICENSE_DEBIAN}\"")
endif()

file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/doc)
npt_gzip(${npt_packaging}/changelog ${CMAKE_BINARY_DIR}/doc/changelog.gz npt_compressed)
add_custom_target(npt_compressed_docs ALL DEPENDS ${npt_compressed})
install(FILES ${CMAKE_BINARY_DIR}/doc/changelog.gz ${npt_packaging}/copyright
        DESTINATION ${npt_docdir})

# The icon at the sizes desktops ask for and as SVG, drawn by the window's own icon code.
if(TARGET render_icons)
  set(npt_icon_sizes 16 22 24 32 48 64 128 256)
  set(npt_icon_dir ${CMAKE_BINARY_DIR}/icons/hicolor)
  set(npt_icons ${npt_icon_dir}/scalable/apps/npt-desk.svg)
  foreach(size IN LISTS npt_icon_sizes)
    list(APPEND npt_icons ${npt_icon_dir}/${size}x${size}/apps/npt-desk.png)
  endforeach()
  add_custom_command(
    OUTPUT ${npt_icons}
    COMMAND render_icons ${npt_icon_dir} ${npt_icon_sizes}
    DEPENDS render_icons
    COMMENT "Rendering the application's icons")
  add_custom_target(npt_icons ALL DEPENDS ${npt_icons})
  install(DIRECTORY ${npt_icon_dir}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
endif()

# The Debian package: cpack -G DEB (or cpack, DEB being the only generator).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${NPT_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${NPT_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_VENDOR "npt-desk authors")
# What is installed is what the tree was configured for (scripts/package: /usr).
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "nocturnal penile tumescence test: recorder, chart and report")
set(CPACK_PACKAGE_DESCRIPTION
    "A desktop application for the nocturnal penile tumescence test. A recorder
worn overnight stores the penile diameter once per sample period; npt-desk
writes the patient's passport into it before the night through its USB radio
adapter, reads its memory in the morning, checks the recording (complete,
calibrated, battery), plots the diameter against the time of night, finds the
night's tumescence episodes and reports them on one page, and saves, exports
and prints recordings.

The package holds the window (npt-desk), the command-line tool npt (show,
export and report a recording without a window), npt-recorder-sim (a
simulated adapter for trying the program without hardware), the udev rule
that lets the user at the seat open the adapter, and example recordings.
The interface is in Russian.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${NPT_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Cyrillic letters in the window and the report, and the standard dialogs' buttons in Russian.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${npt_packaging}/postinst ${npt_packaging}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_STRIP_FILES TRUE)
include(CPack)
