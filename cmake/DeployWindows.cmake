# SPDX-FileCopyrightText: 2026 the npt-desk authors
# SPDX-License-Identifier: GPL-3.0-or-later
# Run at install time (cmake --install, and CPack's staging): copies beside the installed
# programs every DLL they load that Windows itself does not provide, found by reading the
# programs' import tables, and the same for the DLLs copied. CMake's own runtime-dependency scan
# cannot serve on a Linux host: it compares DLL names case-sensitively.
#
# Set by the caller: NPT_DEPLOY_DIR (the installed programs' folder), NPT_DEPLOY_OBJDUMP,
# NPT_DEPLOY_SEARCH (folders to take DLLs from, a list), NPT_DEPLOY_PLUGINS (Qt's plugins, as
# <category>/<file>, to copy into plugins/), NPT_DEPLOY_QT_PLUGINS_DIR.

# Run by the install script, which keeps the policies of old CMake: IN_LIST needs the new one.
cmake_policy(PUSH)
cmake_policy(SET CMP0057 NEW)

function(npt_imports file out_var)
  execute_process(COMMAND ${NPT_DEPLOY_OBJDUMP} -p ${file} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "deploy: cannot read the imports of ${file}")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${dump}")
  set(names)
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^DLL Name: " "" name "${line}")
    string(STRIP "${name}" name)
    list(APPEND names ${name})
  endforeach()
  set(${out_var} ${names} PARENT_SCOPE)
endfunction()

# Every DLL in the search folders, by its lower-case name: Windows compares DLL names without
# regard to case, and the import tables do not spell them as the files are named.
set(npt_available)
foreach(dir IN LISTS NPT_DEPLOY_SEARCH)
  file(GLOB dlls "${dir}/*.dll")
  foreach(dll IN LISTS dlls)
    get_filename_component(name ${dll} NAME)
    string(TOLOWER ${name} key)
    if(NOT DEFINED npt_dll_${key})
      set(npt_dll_${key} ${dll})
    endif()
  endforeach()
endforeach()

set(queue)
file(GLOB programs "${NPT_DEPLOY_DIR}/*.exe")
list(APPEND queue ${programs})
foreach(plugin IN LISTS NPT_DEPLOY_PLUGINS)
  get_filename_component(category ${plugin} DIRECTORY)
  file(COPY ${NPT_DEPLOY_QT_PLUGINS_DIR}/${plugin} DESTINATION ${NPT_DEPLOY_DIR}/plugins/${category})
  get_filename_component(name ${plugin} NAME)
  list(APPEND queue ${NPT_DEPLOY_DIR}/plugins/${plugin})
endforeach()

set(copied)
while(queue)
  list(POP_FRONT queue file)
  npt_imports(${file} imports)
  foreach(name IN LISTS imports)
    string(TOLOWER ${name} key)
    # Not in the search folders: a DLL of Windows itself (kernel32, user32, ...).
    if(NOT DEFINED npt_dll_${key} OR key IN_LIST copied)
      continue()
    endif()
    list(APPEND copied ${key})
    file(COPY ${npt_dll_${key}} DESTINATION ${NPT_DEPLOY_DIR})
    get_filename_component(copy_name ${npt_dll_${key}} NAME)
    list(APPEND queue ${NPT_DEPLOY_DIR}/${copy_name})
  endforeach()
endwhile()
list(LENGTH copied count)
message(STATUS "deploy: ${count} DLLs beside the programs in ${NPT_DEPLOY_DIR}")
cmake_policy(POP)
