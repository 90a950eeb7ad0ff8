# SPDX-FileCopyrightText: 2026 the npt-desk authors
# SPDX-License-Identifier: GPL-3.0-or-later
# The layering of src/, checked at configure time. Each folder's README.md ends with a paragraph
#   May use: `npt_recorder`, `npt_measure`, `Qt6::Gui`
# naming every library the folder's code may link and whose headers it may include. A folder
# registers its targets with npt_layer(); npt_check_layers(), run once every folder is known,
# stops the configuration when a target links a library its README does not name, or when a
# source file includes a header of a folder whose library is not named there.

# npt_layer(<target>...): the targets built from the current folder.
function(npt_layer)
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_SOURCE_DIR})
  set_property(GLOBAL APPEND PROPERTY NPT_LAYER_FOLDERS ${folder})
  set_property(GLOBAL APPEND PROPERTY NPT_LAYER_TARGETS_${folder} ${ARGN})
  foreach(target IN LISTS ARGN)
    set_property(GLOBAL PROPERTY NPT_LAYER_OF_${target} ${folder})
  endforeach()
endfunction()

# npt_layer_unbuilt(<folder> <library>): a folder this configuration leaves out (the graphical
# part, without NPT_BUILD_GUI). Sources built elsewhere only for it still include its headers.
function(npt_layer_unbuilt folder library)
  set_property(GLOBAL APPEND PROPERTY NPT_LAYER_TARGETS_${folder} ${library})
endfunction()

# The libraries folder's README allows, in out_var.
function(npt_allowed_libraries folder out_var)
  set(readme ${PROJECT_SOURCE_DIR}/src/${folder}/README.md)
  if(NOT EXISTS ${readme})
    message(FATAL_ERROR "src/${folder} has no README.md saying what it may use")
  endif()
  file(READ ${readme} text)
  # The paragraph that starts "May use:", down to the next blank line.
  string(REGEX MATCH "(^|\n)May use:[^\n]*(\n[^\n]+)*" paragraph "${text}")
  if(NOT paragraph)
    message(FATAL_ERROR "src/${folder}/README.md needs a paragraph \"May use: ...\"")
  endif()
  string(REGEX MATCHALL "`[^`]+`" quoted "${paragraph}")
  set(allowed)
  foreach(name IN LISTS quoted)
    string(REPLACE "`" "" name "${name}")
    list(APPEND allowed ${name})
  endforeach()
  set(${out_var} ${allowed} PARENT_SCOPE)
endfunction()

# The project's library (npt_*) a linked item names, or the item itself for anything else;
# generator expressions that only wrap a name ($<LINK_ONLY:x>) are unwrapped.
function(npt_linked_name item out_var)
  string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" item "${item}")
  set(${out_var} ${item} PARENT_SCOPE)
endfunction()

function(npt_check_layers)
  get_property(folders GLOBAL PROPERTY NPT_LAYER_FOLDERS)
  list(REMOVE_DUPLICATES folders)
  set(problems)
  foreach(folder IN LISTS folders)
    npt_allowed_libraries(${folder} allowed)
    get_property(own GLOBAL PROPERTY NPT_LAYER_TARGETS_${folder})
    # What the targets link.
    foreach(target IN LISTS own)
      get_target_property(direct ${target} LINK_LIBRARIES)
      get_target_property(interface ${target} INTERFACE_LINK_LIBRARIES)
      foreach(item IN LISTS direct interface)
        npt_linked_name("${item}" name)
        if(name STREQUAL "" OR name MATCHES "NOTFOUND$" OR name IN_LIST own
           OR name IN_LIST allowed)
          continue()
        endif()
        list(APPEND problems "${target} (src/${folder}) links ${name}")
      endforeach()
    endforeach()
    # What the sources include: "folder/file.h" names the library of that folder.
    file(GLOB sources ${PROJECT_SOURCE_DIR}/src/${folder}/*.h ${PROJECT_SOURCE_DIR}/src/${folder}/*.cpp)
    foreach(source IN LISTS sources)
      file(STRINGS ${source} includes REGEX "^#include \"[a-z_/]+/[a-z0-9_]+\\.h\"")
      foreach(line IN LISTS includes)
        string(REGEX REPLACE "^#include \"(.+)/[a-z0-9_]+\\.h\".*" "\\1" included "${line}")
        if(included STREQUAL folder)
          continue()
        endif()
        get_property(targets GLOBAL PROPERTY NPT_LAYER_TARGETS_${included})
        file(RELATIVE_PATH shown ${PROJECT_SOURCE_DIR} ${source})
        if(NOT targets)
          list(APPEND problems "${shown} includes from src/${included}, which is no library")
          continue()
        endif()
        # A folder's first target is its library.
        list(GET targets 0 library)
        if(NOT library IN_LIST allowed)
          list(APPEND problems "${shown} includes from src/${included} (${library})")
        endif()
      endforeach()
    endforeach()
  endforeach()
  if(problems)
    list(REMOVE_DUPLICATES problems)
    list(JOIN problems "\n  " shown)
    message(FATAL_ERROR "Outside what the folders' README.md allow (\"May use:\"):\n  ${shown}")
  endif()
endfunction()
