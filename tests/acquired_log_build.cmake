# Builds decade-report from the log decade-acquire wrote from the fake
# meter (acquire_e2e_test), as a user builds a log, and finds the box the fake simulates, 20 ppm + 3 ppm a position,
# in the results file and the report.  100 Ω, 1 kΩ, 10 kΩ and 100 kΩ are
# each read at two settings, whose readings the report averages together,
# so only positions 2 to 9 are held to it.
#
# The build tree is the own log's (own_log_build), done with by then: its
# tools are built, so that only the log is imported and linked anew.
#
# cmake -DSOURCE=... -DBINARY=... -DLOG=... -P acquired_log_build.cmake
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${BINARY} -DDECADE_LOG=${LOG}
                        -DDECADE_TOLERANCE= -DDECADE_HISTORY= -DDECADE_LOG_STRICT=OFF
                RESULT_VARIABLE failed OUTPUT_QUIET)
if(failed)
  message(FATAL_ERROR "configuring with the acquired log failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BINARY} --target decade-report
                RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(failed)
  message(FATAL_ERROR "the acquired log did not build:\n${out}${err}")
endif()
string(FIND "${err}" "log.txt: 500 readings, all in the report; 50 of 50 settings measured" said)
if(said EQUAL -1)
  message(FATAL_ERROR "the audit did not find the acquired log whole:\n${err}")
endif()

file(STRINGS ${BINARY}/decade-report.csv rows REGEX "^[2-9],1E[1-5],")
list(LENGTH rows count)
if(NOT count EQUAL 40)
  message(FATAL_ERROR "the results file has ${count} rows for positions 2 to 9, not 40")
endif()
foreach(row IN LISTS rows)
  string(REPLACE "," ";" fields "${row}")
  list(GET fields 0 position)
  list(GET fields 3 readings)
  list(GET fields 5 ppm)
  math(EXPR expected "20 + 3 * ${position}")
  math(EXPR low "${expected} - 1")
  string(REGEX REPLACE "\\..*" "" whole "${ppm}")
  if(NOT readings EQUAL 10 OR whole LESS low OR whole GREATER expected)
    message(FATAL_ERROR "the results file's row ${row} is not the box the fake simulates, "
                        "${expected} ppm from 10 readings")
  endif()
endforeach()

execute_process(COMMAND ${BINARY}/decade-report RESULT_VARIABLE failed OUTPUT_VARIABLE report)
# The ppm table's row of position 3: 29 ppm in every decade, within 1 ppm.
string(REGEX MATCH "\n 03 \\|[^\n]* ppm [^\n]*" row "${report}")
string(REGEX MATCHALL " (28|29)\\.[0-9][0-9] ppm" cells "${row}")
list(LENGTH cells found)
if(failed OR NOT found EQUAL 5)
  message(FATAL_ERROR "the report does not show 29 ppm, within 1 ppm, at position 3 of each decade:${row}")
endif()
message(STATUS "built ${BINARY}/decade-report from ${LOG}")
