# Runs the real program where dump_metrics12.csv cannot be opened or written
# and checks that it says so: exit status 1 and one line on standard error
# naming the file and the reason.
#
# cmake -DPROGRAM=... -DWORK_DIR=... -DFONTCONFIG=... -DCASE=directory|full
#       -DPATTERN=<regex for standard error> -P table_error_run.cmake
# CASE directory: a directory stands where the table goes, so nothing may be
# enumerated either; full: the table is a symlink to /dev/full.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
set(table ${WORK_DIR}/dump_metrics12.csv)
if(CASE STREQUAL "directory")
  file(MAKE_DIRECTORY ${table})
elseif(CASE STREQUAL "full")
  if(NOT EXISTS /dev/full)
    message(FATAL_ERROR "no /dev/full on this machine")
  endif()
  file(CREATE_LINK /dev/full ${table} SYMBOLIC)
else()
  message(FATAL_ERROR "unknown CASE '${CASE}'")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E env FONTCONFIG_FILE=${FONTCONFIG} ${PROGRAM}
                WORKING_DIRECTORY ${WORK_DIR}
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors
                TIMEOUT 120)
set(failures "")
if(NOT status STREQUAL "1")
  string(APPEND failures "exit status '${status}', not 1\n")
endif()
if(NOT errors MATCHES "^[^\n]*${PATTERN}[^\n]*\n$")
  string(APPEND failures "standard error is not one line matching '${PATTERN}':\n${errors}\n")
endif()
if(CASE STREQUAL "directory" AND NOT output STREQUAL "")
  string(APPEND failures "fonts were enumerated with no table to write to:\n${output}\n")
endif()
if(CASE STREQUAL "full" AND NOT output MATCHES "Processing font 'DM12 Bdf'")
  string(APPEND failures "the fonts were not enumerated:\n${output}\n")
endif()
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
