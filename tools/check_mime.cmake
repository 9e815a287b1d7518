# SPDX-License-Identifier: GPL-3.0-or-later
# The file type of a race as a desktop sees it:
#   cmake -DUPDATE_MIME_DATABASE=<update-mime-database> -DMIME_XML=<type.xml> -DDESKTOP=<entry.desktop>
#         -DWORK_DIR=<folder> -P check_mime.cmake
# - shared-mime-info builds a database from the package's XML without a
#   remark, with the glob Zo-*.jra and a comment in English and Japanese;
# - the desktop entry names that type and opens a file (%f).
cmake_minimum_required(VERSION 3.25)

foreach(var UPDATE_MIME_DATABASE MIME_XML DESKTOP WORK_DIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} not set")
  endif()
endforeach()

set(problems)
macro(problem text)
  list(APPEND problems "${text}")
endmacro()

file(READ "${MIME_XML}" xml)
string(REGEX MATCH "<mime-type type=\"([^\"]+)\"" _ "${xml}")
set(type "${CMAKE_MATCH_1}")
if(NOT type)
  message(FATAL_ERROR "no mime-type in ${MIME_XML}")
endif()

# A data folder of its own, named as such so that the tool has nothing to remark.
file(REMOVE_RECURSE "${WORK_DIR}")
set(mime "${WORK_DIR}/mime")
file(MAKE_DIRECTORY "${mime}/packages")
file(COPY "${MIME_XML}" DESTINATION "${mime}/packages")
execute_process(COMMAND ${CMAKE_COMMAND} -E env "XDG_DATA_DIRS=${WORK_DIR}" "XDG_DATA_HOME=${WORK_DIR}"
                        "${UPDATE_MIME_DATABASE}" "${mime}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT out STREQUAL "")
  problem("update-mime-database (${rc}): ${out}")
endif()
if(EXISTS "${mime}/globs2")
  file(READ "${mime}/globs2" globs)
  if(NOT globs MATCHES "\n[0-9]+:${type}:zo-\\*\\.jra\n")
    problem("the database has no glob Zo-*.jra for ${type}:\n${globs}")
  endif()
else()
  problem("no globs2 made")
endif()
if(EXISTS "${mime}/${type}.xml")
  file(READ "${mime}/${type}.xml" entry)
  if(NOT entry MATCHES "<comment>[^<]+</comment>")
    problem("${type} has no comment in English")
  endif()
  if(NOT entry MATCHES "<comment xml:lang=\"ja\">[^<]+</comment>")
    problem("${type} has no comment in Japanese")
  endif()
else()
  problem("no ${type}.xml in the database")
endif()

file(READ "${DESKTOP}" desktop)
string(REPLACE "+" "\\+" type_pattern "${type}")
if(NOT desktop MATCHES "\nMimeType=([^\n]*;)?${type_pattern};")
  problem("${DESKTOP}: MimeType does not name ${type}")
endif()
if(NOT desktop MATCHES "\nExec=[^\n]* %[fFuU]")
  problem("${DESKTOP}: Exec takes no file")
endif()

file(REMOVE_RECURSE "${WORK_DIR}")
if(problems)
  list(JOIN problems "\n" text)
  message(FATAL_ERROR "${text}")
endif()
message(STATUS "${type}: Zo-*.jra, commented in English and Japanese, opened by the desktop entry")
