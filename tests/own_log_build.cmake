# Builds decade-report from a log of its own, as a user would with
# -DDECADE_LOG, in a build tree of its own.  The log holds a reading at
# nominal on line 9, which the audit warns about.
#   1. the log builds, with a warning at line 9, and writes its results
#      file and page beside the program;
#   2. the log with a line of text added must stop the build with file and
#      line, and leave no program and no results: not even those the good
#      log built;
#   3. the mended log must stop the build with -DDECADE_LOG_STRICT=ON, as an
#      error at line 9, and leave no program;
#   4. without the option it must build again, each edit picked up by the
#      dependency;
#   5. judged against a tolerance file it builds and sums the judgement up;
#      a fault in the file stops the build at its line and leaves no program
#      and no results; mended, it builds again, and -DDECADE_TOLERANCE=
#      (empty) drops the judgement;
#   6. with the earlier results files of the same box it sums up the
#      history and writes it into the results file; each build after,
#      without configuring, reads the folder as it is then: with a file
#      added that is older than the results built and named .CSV, with
#      another removed, and with that one back; a file dated after the log
#      added to the folder stops the next build at its line, and removed,
#      the build goes on; the folder is named relative to where cmake runs,
#      as a user would; without a tolerance file it gives the largest
#      change and drift, and -DDECADE_HISTORY= (empty) drops it.
# own_log_test then compares the program's report with parse() in memory.
#
# cmake -DSOURCE=... -DBINARY=... -DLOG=... -DTOLERANCE=... -DHISTORY=... -DOPTIONS=...
#       -P own_log_build.cmake
cmake_minimum_required(VERSION 3.25)

set(log ${BINARY}/log.txt)
file(REMOVE_RECURSE ${BINARY})
file(MAKE_DIRECTORY ${BINARY})
file(READ ${LOG} good)
file(WRITE ${log} "${good}")
string(REGEX MATCHALL "\n" line_ends "${good}")
list(LENGTH line_ends bad_line)
math(EXPR bad_line "${bad_line} + 1")
set(audited "${log}:9: %s: 1 reading of exactly 30 Ω, line 9")

# Run in ${BINARY}, where a relative path given to cmake starts.
function(configure)
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${BINARY}/build ${ARGN}
                  WORKING_DIRECTORY ${BINARY} RESULT_VARIABLE failed OUTPUT_QUIET)
  if(failed)
    message(FATAL_ERROR "configuring with ${ARGN} failed")
  endif()
endfunction()

# Sets failed, out (both streams) and built (the program, if any).
function(build_program)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${BINARY}/build --target decade-report
                  RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(failed ${failed} PARENT_SCOPE)
  set(out "${out}${err}" PARENT_SCOPE)
  file(GLOB built ${BINARY}/build/decade-report ${BINARY}/build/decade-report.exe)
  set(built "${built}" PARENT_SCOPE)
  file(GLOB results ${BINARY}/build/decade-report.csv ${BINARY}/build/decade-report.html)
  set(results "${results}" PARENT_SCOPE)
endfunction()

function(expect_said text)
  string(FIND "${out}" "${text}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the build did not say \"${text}\":\n${out}")
  endif()
endfunction()

function(expect_stopped why)
  if(NOT failed)
    message(FATAL_ERROR "${why} built")
  endif()
  if(built OR results)
    message(FATAL_ERROR "a program or results were left from a log that failed: ${built} ${results}")
  endif()
endfunction()

configure(-DDECADE_LOG=${log} -DDECADE_TESTS=OFF -DDECADE_BENCH=OFF ${OPTIONS})
build_program()
if(failed OR NOT built)
  message(FATAL_ERROR "the log did not build:\n${out}")
endif()
list(LENGTH results written)
if(NOT written EQUAL 2)
  message(FATAL_ERROR "the build wrote no results file and page beside the program: ${results}")
endif()
string(REPLACE "%s" "warning" expected "${audited}")
expect_said("${expected}")

file(WRITE ${log} "${good}10.002 Ohm\n")
build_program()
expect_stopped("a log with a fault on line ${bad_line}")
expect_said("${log}:${bad_line}: text after the number: 10.002 Ohm")

file(WRITE ${log} "${good}")
configure(-DDECADE_LOG_STRICT=ON)
build_program()
expect_stopped("with -DDECADE_LOG_STRICT=ON, a log with audit warnings")
string(REPLACE "%s" "error" expected "${audited}")
expect_said("${expected}")

configure(-DDECADE_LOG_STRICT=OFF)
build_program()
if(failed OR NOT built)
  message(FATAL_ERROR "the mended log did not build:\n${out}")
endif()
set(box ${BINARY}/box.txt)
file(READ ${TOLERANCE} box_text)
file(WRITE ${box} "${box_text}")
configure(-DDECADE_TOLERANCE=${box})
build_program()
if(failed OR NOT built)
  message(FATAL_ERROR "the log did not build with a tolerance file:\n${out}")
endif()
expect_said("${box}: under guarded acceptance (w = 1 U), ")

file(WRITE ${box} "${box_text}colour = red\n")
build_program()
expect_stopped("a tolerance file with a fault")
string(REGEX MATCHALL "\n" box_line_ends "${box_text}")
list(LENGTH box_line_ends box_line)
math(EXPR box_line "${box_line} + 1")
expect_said("${box}:${box_line}: unknown key 'colour'")

file(WRITE ${box} "${box_text}")
build_program()
if(failed OR NOT built)
  message(FATAL_ERROR "the mended tolerance file did not build:\n${out}")
endif()

# The oldest file waits outside the folder, its time stamp kept (file(COPY)
# keeps it, a rename too), under a name with the extension in capitals.
set(history ${BINARY}/history)
set(aside ${BINARY}/aside)
file(COPY ${HISTORY}/ DESTINATION ${history} FILES_MATCHING PATTERN "*.csv"
     PATTERN "2023-12-05.csv" EXCLUDE)
file(COPY ${HISTORY}/2023-12-05.csv DESTINATION ${aside})
file(RENAME ${aside}/2023-12-05.csv ${aside}/2023-12-05.CSV)
# Given relative to the folder cmake runs in, as a user types it.
configure(-DDECADE_HISTORY=history)
build_program()
if(failed OR NOT built)
  message(FATAL_ERROR "the log did not build with a history:\n${out}")
endif()
expect_said("${log}: 2 earlier calibrations (2024-12-10, 2025-12-09), due ")

# Each change to the folder shows at the next build, without configuring.
# A file older than the results built comes in: its time stamp alone
# would not import the log again.
file(TIMESTAMP ${aside}/2023-12-05.CSV old_stamp "%s" UTC)
file(TIMESTAMP ${BINARY}/build/decade-report.csv built_stamp "%s" UTC)
if(NOT old_stamp LESS built_stamp)
  message(FATAL_ERROR "the file added is not older than the results built: ${old_stamp}, ${built_stamp}")
endif()
file(COPY ${aside}/2023-12-05.CSV DESTINATION ${history})
build_program()
if(failed OR NOT built)
  message(FATAL_ERROR "the log did not build with an older file added to its history:\n${out}")
endif()
expect_said("${log}: 3 earlier calibrations (2023-12-05, 2024-12-10, 2025-12-09), due 2027-12-08: ")
file(STRINGS ${BINARY}/build/decade-report.csv rows REGEX "^3,1E2,")
if(NOT rows MATCHES ",2026-12-08,2025-12-09,-19\\.99[0-9]*,32\\.50[0-9]*,")
  message(FATAL_ERROR "the 300 Ω row holds no change since 2025-12-09: ${rows}")
endif()

# A file goes: the one before it is the last calibration now.
file(RENAME ${history}/2025-12-09.csv ${aside}/2025-12-09.csv)
build_program()
if(failed OR NOT built)
  message(FATAL_ERROR "the log did not build with a file removed from its history:\n${out}")
endif()
expect_said("${log}: 2 earlier calibrations (2023-12-05, 2024-12-10), due ")
file(STRINGS ${BINARY}/build/decade-report.csv rows REGEX "^3,1E2,")
if(NOT rows MATCHES ",2026-12-08,2024-12-10,-39\\.98[0-9]*,52\\.49[0-9]*,")
  message(FATAL_ERROR "the 300 Ω row holds no change since 2024-12-10: ${rows}")
endif()

# The file comes back, time stamp and all, with one dated after the log.
file(READ ${aside}/2025-12-09.csv earlier)
file(RENAME ${aside}/2025-12-09.csv ${history}/2025-12-09.csv)
string(REPLACE ",2025-12-09," ",2027-01-05," later "${earlier}")
file(WRITE ${history}/later.csv "${later}")
build_program()
expect_stopped("a history file dated after the log")
expect_said("${history}/later.csv:2: date 2027-01-05 is not before this calibration's, 2026-12-08")
file(REMOVE ${history}/later.csv)
build_program()
if(failed OR NOT built)
  message(FATAL_ERROR "the history without the later file did not build:\n${out}")
endif()
expect_said("${log}: 3 earlier calibrations (2023-12-05, 2024-12-10, 2025-12-09), due 2027-12-08: ")

configure(-DDECADE_TOLERANCE=)
build_program()
string(FIND "${out}" "under guarded acceptance" judged)
if(failed OR NOT built OR NOT judged EQUAL -1)
  message(FATAL_ERROR "with -DDECADE_TOLERANCE= the log did not build unjudged:\n${out}")
endif()
expect_said("due 2027-12-08: largest change ")
configure(-DDECADE_HISTORY=)
build_program()
string(FIND "${out}" "earlier calibrations" told)
if(failed OR NOT built OR NOT told EQUAL -1)
  message(FATAL_ERROR "with -DDECADE_HISTORY= the log did not build without its history:\n${out}")
endif()
message(STATUS "built ${BINARY}/build/decade-report from ${log}")
