# SPDX-License-Identifier: GPL-3.0-or-later
# Installs a build into a staging folder and checks the tree:
#   cmake -DBUILD_DIR=<build> -DSTAGE_DIR=<folder> -DVERSION=<x.y> [-DGUI=ON] -P check_install.cmake
# - every file in the tree is in install_manifest.txt (the list the package
#   is made from) and every listed file is in the tree;
# - bin holds the three programs and nothing else (no test, benchmark, fuzz
#   replay or build-time helper);
# - the desktop files, the file type, icons, manual pages (compressed), the
#   copyright, the changelog and sample races are in place, each PNG icon of
#   the size its folder names;
# - the installed programs run from there: --version of both, and
#   minukuru-cli show of an installed sample race.
cmake_minimum_required(VERSION 3.25)

foreach(var BUILD_DIR STAGE_DIR VERSION)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} not set")
  endif()
endforeach()

set(problems)
macro(problem text)
  list(APPEND problems "${text}")
endmacro()

file(REMOVE_RECURSE "${STAGE_DIR}")
file(REMOVE "${BUILD_DIR}/install_manifest.txt")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${STAGE_DIR}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${rc}):\n${out}")
endif()

# The tree against the manifest.
file(STRINGS "${BUILD_DIR}/install_manifest.txt" manifest)
file(GLOB_RECURSE tree LIST_DIRECTORIES false "${STAGE_DIR}/*")
foreach(file IN LISTS tree)
  if(NOT file IN_LIST manifest)
    problem("installed but not in the manifest: ${file}")
  endif()
endforeach()
foreach(file IN LISTS manifest)
  if(NOT file IN_LIST tree)
    problem("in the manifest but not installed: ${file}")
  endif()
endforeach()

set(id io.github.minukuru.Minukuru)
set(programs minukuru-cli minukuru-racegen)
set(expected share/man/man1/minukuru-cli.1.gz share/man/man1/minukuru-racegen.1.gz share/doc/minukuru/copyright
    share/doc/minukuru/changelog.gz share/minukuru/samples/Zo-03150601.jra)
if(GUI)
  list(APPEND programs minukuru)
  list(APPEND expected share/applications/${id}.desktop share/metainfo/${id}.metainfo.xml
       share/icons/hicolor/scalable/apps/${id}.svg share/man/man1/minukuru.1.gz share/mime/packages/${id}.mime.xml)
  foreach(size 16 32 48 64 128 256)
    set(png "${STAGE_DIR}/share/icons/hicolor/${size}x${size}/apps/${id}.png")
    if(NOT EXISTS "${png}")
      problem("missing: ${png}")
      continue()
    endif()
    # The PNG header: width and height, big-endian, from byte 16.
    file(READ "${png}" header OFFSET 16 LIMIT 8 HEX)
    string(SUBSTRING "${header}" 0 8 width)
    string(SUBSTRING "${header}" 8 8 height)
    math(EXPR width "0x${width}")
    math(EXPR height "0x${height}")
    if(NOT width EQUAL size OR NOT height EQUAL size)
      problem("${png} is ${width}x${height}")
    endif()
  endforeach()
endif()
foreach(file IN LISTS expected)
  if(NOT EXISTS "${STAGE_DIR}/${file}")
    problem("missing: ${STAGE_DIR}/${file}")
  endif()
endforeach()
file(GLOB installed_programs RELATIVE "${STAGE_DIR}/bin" "${STAGE_DIR}/bin/*")
list(SORT installed_programs)
list(SORT programs)
if(NOT installed_programs STREQUAL programs)
  problem("bin holds '${installed_programs}', not '${programs}'")
endif()
file(GLOB samples "${STAGE_DIR}/share/minukuru/samples/*.jra")
list(LENGTH samples sample_count)
if(sample_count LESS 100)
  problem("only ${sample_count} sample race files installed")
endif()

# The programs from the staging folder, from a folder of their own, with no
# display and a settings file of their own.
set(work "${STAGE_DIR}.work")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}")
set(run ${CMAKE_COMMAND} -E env --unset=QT_QPA_PLATFORM --unset=DISPLAY --unset=WAYLAND_DISPLAY
        MINUKURU_SETTINGS=${work}/settings.ini)
macro(expect_output program expected_out)
  execute_process(COMMAND ${run} "${STAGE_DIR}/bin/${program}" ${ARGN} WORKING_DIRECTORY "${work}"
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    problem("${program} ${ARGN}: exit status ${rc}: ${err}")
  elseif(NOT out MATCHES "${expected_out}")
    problem("${program} ${ARGN}: printed '${out}', wanted '${expected_out}'")
  endif()
endmacro()
string(REPLACE "." "\\." version_pattern "${VERSION}")
expect_output(minukuru-cli "^minukuru-cli ${version_pattern}\n$" --version)
expect_output(minukuru-cli "頭数 18\n.*推奨買い目" show "${STAGE_DIR}/share/minukuru/samples/Zo-03150601.jra")
if(GUI)
  expect_output(minukuru "^minukuru ${version_pattern}\n$" --version)
endif()
file(REMOVE_RECURSE "${work}")

if(problems)
  list(JOIN problems "\n" text)
  message(FATAL_ERROR "${text}")
endif()
list(LENGTH tree count)
message(STATUS "${count} files installed into ${STAGE_DIR}, all in the manifest; the programs run from there")
