# The README's "./scripts/test -LE slow" skips the slow tests only if they carry the label: every
# end-to-end suite must carry it.
#   cmake -DCTEST=<ctest> -DBUILD=<build folder> -P CheckSlowLabels.cmake
execute_process(COMMAND ${CTEST} -N -L slow WORKING_DIRECTORY ${BUILD} OUTPUT_VARIABLE slow RESULT_VARIABLE status)
execute_process(COMMAND ${CTEST} -N -LE slow WORKING_DIRECTORY ${BUILD} OUTPUT_VARIABLE quick)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "ctest could not list the tests: ${status}")
endif()
string(REGEX MATCHALL "Test +#[0-9]+: [^.\n]*EndToEnd[^.\n]*[.]" slowEndToEnd "${slow}")
string(REGEX MATCHALL "Test +#[0-9]+: [^.\n]*EndToEnd[^.\n]*[.]" quickEndToEnd "${quick}")
list(LENGTH slowEndToEnd count)
if(count LESS 5 OR quickEndToEnd)
    message(FATAL_ERROR "end-to-end tests without the label slow: ${quickEndToEnd} (${count} with it)")
endif()
