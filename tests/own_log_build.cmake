# Builds decade-report from a log of its own, as a user would with
# -DDECADE_LOG, in a build tree of its own:
#   1. the log builds;
#   2. the log with a line of text added must stop the build with file and
#      line, and leave no program: not even the one the good log built;
#   3. the same log mended must build again, each edit picked up by the
#      dependency.
# own_log_test then compares the program's report with parse() in memory.
#
# cmake -DSOURCE=... -DBINARY=... -DLOG=... -DOPTIONS=... -P own_log_build.cmake
cmake_minimum_required(VERSION 3.25)

set(log ${BINARY}/log.txt)
file(REMOVE_RECURSE ${BINARY})
file(MAKE_DIRECTORY ${BINARY})
file(READ ${LOG} good)
file(WRITE ${log} "${good}")
string(REGEX MATCHALL "\n" line_ends "${good}")
list(LENGTH line_ends bad_line)
math(EXPR bad_line "${bad_line} + 1")

execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${BINARY}/build -DDECADE_LOG=${log}
                        -DDECADE_TESTS=OFF -DDECADE_BENCH=OFF ${OPTIONS}
                RESULT_VARIABLE failed OUTPUT_QUIET)
if(failed)
  message(FATAL_ERROR "configuring with -DDECADE_LOG failed")
endif()

function(build_program)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${BINARY}/build --target decade-report
                  RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(failed ${failed} PARENT_SCOPE)
  set(out "${out}${err}" PARENT_SCOPE)
  file(GLOB built ${BINARY}/build/decade-report ${BINARY}/build/decade-report.exe)
  set(built "${built}" PARENT_SCOPE)
endfunction()

build_program()
if(failed OR NOT built)
  message(FATAL_ERROR "the log did not build:\n${out}")
endif()

file(WRITE ${log} "${good}10.002 Ohm\n")
build_program()
set(expected "${log}:${bad_line}: text after the number: 10.002 Ohm")
if(NOT failed)
  message(FATAL_ERROR "a log with a fault on line ${bad_line} built")
endif()
string(FIND "${out}" "${expected}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "the build did not say \"${expected}\":\n${out}")
endif()
if(built)
  message(FATAL_ERROR "a program was built from a log that failed: ${built}")
endif()

file(WRITE ${log} "${good}")
build_program()
if(failed OR NOT built)
  message(FATAL_ERROR "the mended log did not build:\n${out}")
endif()
message(STATUS "built ${BINARY}/build/decade-report from ${log}")
