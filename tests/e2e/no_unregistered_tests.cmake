# Fails when the e2e harness has a test outside the suites that CMake registers, which
# would otherwise never run. Called with HARNESS (the program) and FILTER (a negative filter).
execute_process(COMMAND ${HARNESS} --gtest_list_tests --gtest_filter=${FILTER}
                OUTPUT_VARIABLE listed RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cannot list the tests of ${HARNESS}")
endif()
string(REGEX MATCHALL "\n  [^\n]+" tests "${listed}")
if(tests)
  message(FATAL_ERROR "tests in no registered suite (add them to ZORBINEL_E2E_SUITES):\n${listed}")
endif()
