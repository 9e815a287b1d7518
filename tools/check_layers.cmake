# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the layering of the sources:
#   cmake -DSOURCE_DIR=<tree> [-DCORE_LIBS=<libraries of minukuru_core, comma-separated>] -P check_layers.cmake
#
# - The core folders form layers; a file includes only headers of its own
#   folder or of a lower layer.  Folders on one layer do not include each
#   other.
# - Window code lives in ui/ folders; nothing outside them includes a header
#   from one, and no core file includes a Qt GUI or Widgets header.
# - A ui/ folder includes its own headers, the GUI base common/ui/ and core
#   headers; only the main window (app/ui/) includes the windows it opens,
#   those listed in main_window_opens.
# - tests/, tools/, bench/ and fuzz/ may include anything.
# - minukuru_core links Qt Core only.

cmake_minimum_required(VERSION 3.25)

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "usage: cmake -DSOURCE_DIR=<tree> -P check_layers.cmake")
endif()

# Layer of each core folder, lowest first.
set(layer_common 0)
set(layer_settings 1)
set(layer_patdata 1)
set(layer_analysis 2)
set(layer_grids 3)
set(layer_app 4)
set(layer_export 5)
set(layer_race 6)
set(layer_backtest 7)
set(layer_about 7)
set(layer_cli 8)
set(core_folders common settings patdata app analysis grids export race backtest about cli)

# The other windows' headers the main window includes: the windows it opens.
set(main_window_opens about/ui/about_dialog.h backtest/ui/backtest_window.h backtest/ui/model_fit_window.h
                      grids/ui/pair_grid_view.h
                      grids/ui/pair_matrix_window.h patdata/ui/select_file_window.h settings/ui/options_dialog.h)

set(problems "")

file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}"
     "${SOURCE_DIR}/*.h" "${SOURCE_DIR}/*.cpp")
foreach(file IN LISTS sources)
  string(REGEX MATCH "^[^/]+" folder "${file}")
  if(NOT folder IN_LIST core_folders)
    continue() # tests, tools, bench, fuzz, build trees
  endif()
  set(in_ui FALSE)
  if(file MATCHES "/ui/")
    set(in_ui TRUE)
  endif()

  file(STRINGS "${SOURCE_DIR}/${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[\"<]([^\">]+)[\">].*$" "\\1" header "${line}")

    if(in_ui AND header MATCHES "^([a-z]+)/ui/")
      set(target_folder "${CMAKE_MATCH_1}")
      if(NOT target_folder STREQUAL folder AND NOT target_folder STREQUAL "common")
        if(NOT (folder STREQUAL "app" AND header IN_LIST main_window_opens))
          list(APPEND problems "${file}: ${folder}/ui/ includes ${header}, another feature's window header")
        endif()
      endif()
    endif()

    if(NOT in_ui)
      if(header MATCHES "(^|/)ui/")
        list(APPEND problems "${file}: includes the window header ${header}")
      endif()
      if(header MATCHES "^Qt(Gui|Widgets)/" OR header MATCHES "^Q(Widget|Application|Painter|Color|Font|Pixmap|Image|Icon|Action|Dialog|MainWindow)$")
        list(APPEND problems "${file}: a core file includes the GUI header ${header}")
      endif()
      if(header MATCHES "^([a-z]+)/")
        set(target_folder "${CMAKE_MATCH_1}")
        if(target_folder IN_LIST core_folders AND NOT target_folder STREQUAL folder)
          if(NOT layer_${target_folder} LESS layer_${folder})
            list(APPEND problems "${file}: ${folder}/ (layer ${layer_${folder}}) includes ${header} from ${target_folder}/ (layer ${layer_${target_folder}}), which is not below it")
          endif()
        endif()
      endif()
    endif()
  endforeach()
endforeach()

if(DEFINED CORE_LIBS)
  string(REPLACE "," ";" CORE_LIBS "${CORE_LIBS}")
  foreach(lib IN LISTS CORE_LIBS)
    if(lib MATCHES "^Qt6?::" AND NOT lib MATCHES "^Qt6?::Core$")
      list(APPEND problems "minukuru_core links ${lib}; the core links Qt Core only")
    endif()
  endforeach()
endif()

if(problems)
  list(JOIN problems "\n  " text)
  message(FATAL_ERROR "Layering broken:\n  ${text}")
endif()
message(STATUS "Layering intact: ${SOURCE_DIR}")
