# Builds decade-report from a log of its own, as a user would with
# -DDECADE_LOG, in a build tree of its own:
#   1. the log with a line of text added must stop the build with file and
#      line, and leave no program;
#   2. the mended log, which holds a reading at nominal on line 6, must stop
#      the build with -DDECADE_LOG_STRICT=ON, as an error at that line, and
#      leave no program;
#   3. without the option it must build, with a warning at that line.
# own_log_test then compares the program's report with parse() in memory.
#
# cmake -DSOURCE=... -DBINARY=... -DLOG=... -DOPTIONS=... -P own_log_build.cmake
cmake_minimum_required(VERSION 3.25)

set(log ${BINARY}/log.txt)
file(REMOVE_RECURSE ${BINARY})
file(MAKE_DIRECTORY ${BINARY})
file(READ ${LOG} good)
file(WRITE ${log} "${good}10.002 Ohm\n")
string(REGEX MATCHALL "\n" line_ends "${good}")
list(LENGTH line_ends bad_line)
math(EXPR bad_line "${bad_line} + 1")

execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${BINARY}/build -DDECADE_LOG=${log}
                        -DDECADE_TESTS=OFF -DDECADE_BENCH=OFF ${OPTIONS}
                RESULT_VARIABLE failed OUTPUT_QUIET)
if(failed)
  message(FATAL_ERROR "configuring with -DDECADE_LOG failed")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} --build ${BINARY}/build --target decade-report
                RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE err)
set(expected "${log}:${bad_line}: text after the number: 10.002 Ohm")
if(NOT failed)
  message(FATAL_ERROR "a log with a fault on line ${bad_line} built")
endif()
string(FIND "${out}${err}" "${expected}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "the build did not say \"${expected}\":\n${out}${err}")
endif()
file(GLOB built ${BINARY}/build/decade-report ${BINARY}/build/decade-report.exe)
if(built)
  message(FATAL_ERROR "a program was built from a log that failed: ${built}")
endif()

file(WRITE ${log} "${good}")
set(audited "${log}:6: %s: 1 reading of exactly 30 Ω, line 6")
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${BINARY}/build -DDECADE_LOG_STRICT=ON
                RESULT_VARIABLE failed OUTPUT_QUIET)
if(failed)
  message(FATAL_ERROR "configuring with -DDECADE_LOG_STRICT=ON failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BINARY}/build --target decade-report
                RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(REPLACE "%s" "error" expected "${audited}")
if(NOT failed)
  message(FATAL_ERROR "a log with audit warnings built with -DDECADE_LOG_STRICT=ON")
endif()
string(FIND "${out}${err}" "${expected}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "the strict build did not say \"${expected}\":\n${out}${err}")
endif()
file(GLOB built ${BINARY}/build/decade-report ${BINARY}/build/decade-report.exe)
if(built)
  message(FATAL_ERROR "a program was built from a log that failed its strict audit: ${built}")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${BINARY}/build -DDECADE_LOG_STRICT=OFF
                RESULT_VARIABLE failed OUTPUT_QUIET)
if(failed)
  message(FATAL_ERROR "configuring with -DDECADE_LOG_STRICT=OFF failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BINARY}/build --target decade-report
                RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(failed)
  message(FATAL_ERROR "the mended log did not build:\n${out}${err}")
endif()
string(REPLACE "%s" "warning" expected "${audited}")
string(FIND "${out}${err}" "${expected}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "the build did not say \"${expected}\":\n${out}${err}")
endif()
message(STATUS "built ${BINARY}/build/decade-report from ${log}")
