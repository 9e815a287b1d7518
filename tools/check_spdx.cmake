# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that every source file of the tree names its licence in its first
# comment:  cmake -DSOURCE_DIR=<tree> -P check_spdx.cmake
cmake_minimum_required(VERSION 3.25)

set(tag "SPDX-License-Identifier: GPL-3.0-or-later")
set(folders about analysis app backtest bench cli common export fuzz grids patdata race settings tests tools dist)
set(files "${SOURCE_DIR}/CMakeLists.txt" "${SOURCE_DIR}/quickstart.sh" "${SOURCE_DIR}/.ci/run"
    "${SOURCE_DIR}/.ci/fresh-clone")
foreach(folder IN LISTS folders)
  file(GLOB_RECURSE found "${SOURCE_DIR}/${folder}/*.cpp" "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.cmake"
       "${SOURCE_DIR}/${folder}/CMakeLists.txt" "${SOURCE_DIR}/${folder}/*.sh")
  list(APPEND files ${found})
endforeach()

set(missing)
foreach(file IN LISTS files)
  # In the first lines, before any code: after a #! line at most.
  file(STRINGS "${file}" head LIMIT_COUNT 3)
  set(found OFF)
  foreach(line IN LISTS head)
    if(line MATCHES "^(//|#) ${tag}$")
      set(found ON)
      break()
    endif()
  endforeach()
  if(NOT found)
    file(RELATIVE_PATH name "${SOURCE_DIR}" "${file}")
    list(APPEND missing "${name}")
  endif()
endforeach()
if(missing)
  list(JOIN missing "\n  " text)
  message(FATAL_ERROR "no '${tag}' line at the top of:\n  ${text}")
endif()
list(LENGTH files count)
message(STATUS "${count} source files carry the licence line")
