# Builds the magazine of another issue folder in a build tree of its own:
# configures with QUIX_ISSUE and builds only the quixmag target.
#
#   cmake -DSOURCE=... -DBINARY=... -DISSUE=... -P tests/build_issue.cmake
#
# The tree is built without optimisation: it is compiled once per test run,
# and the end-to-end test of it waits for the screen, not for the CPU.
foreach(var SOURCE BINARY ISSUE)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "build_issue.cmake needs -D${var}=...")
  endif()
endforeach()
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${BINARY} -DQUIX_ISSUE=${ISSUE} -DCMAKE_BUILD_TYPE=None
  OUTPUT_QUIET RESULT_VARIABLE configured)
if(NOT configured EQUAL 0)
  message(FATAL_ERROR "configuring the issue ${ISSUE} failed")
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} --build ${BINARY} --target quixmag -j2
  OUTPUT_QUIET RESULT_VARIABLE built)
if(NOT built EQUAL 0)
  message(FATAL_ERROR "building the magazine of ${ISSUE} failed")
endif()
