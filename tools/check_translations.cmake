# SPDX-License-Identifier: GPL-3.0-or-later
# The catalogue of minukuru-cli's messages against the sources:
#   cmake -DLUPDATE=<lupdate> -DLRELEASE=<lrelease> -DTS=<catalogue.ts> -DSOURCES=<a;b;...>
#         -DWORK_DIR=<folder> -P check_translations.cmake
# - lupdate over the sources leaves the catalogue as it is (no message added,
#   changed or dropped without the catalogue following);
# - lrelease finds every message translated.
cmake_minimum_required(VERSION 3.25)

foreach(var LUPDATE LRELEASE TS SOURCES WORK_DIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} not set")
  endif()
endforeach()

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
get_filename_component(name "${TS}" NAME)
set(copy "${WORK_DIR}/${name}")
file(COPY_FILE "${TS}" "${copy}")
execute_process(COMMAND "${LUPDATE}" -silent -locations none -no-obsolete ${SOURCES} -ts "${copy}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "lupdate failed (${rc}):\n${out}")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${TS}" "${copy}" RESULT_VARIABLE differs)
if(differs)
  execute_process(COMMAND diff -u "${TS}" "${copy}" OUTPUT_VARIABLE diff)
  message(FATAL_ERROR "${TS} does not follow the sources; cmake --build <dir> --target "
                      "update-cli-translations, then translate what is new:\n${diff}")
endif()
execute_process(COMMAND "${LRELEASE}" "${copy}" -qm "${WORK_DIR}/check.qm"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT out MATCHES " 0 unfinished" OR out MATCHES "untranslated")
  message(FATAL_ERROR "not every message is translated:\n${out}")
endif()
file(REMOVE_RECURSE "${WORK_DIR}")
message(STATUS "every message of the sources is in ${name}, translated")
