# Runs COMMAND (a list) and checks its exit status is EXPECTED and, where
# PATTERN is given, that its output or errors match it.
execute_process(COMMAND ${COMMAND} RESULT_VARIABLE status OUTPUT_VARIABLE output
                ERROR_VARIABLE output)
message("${output}")
if(NOT status STREQUAL EXPECTED)
  message(FATAL_ERROR "exit status ${status}, expected ${EXPECTED}")
endif()
if(DEFINED PATTERN AND NOT output MATCHES "${PATTERN}")
  message(FATAL_ERROR "output does not match '${PATTERN}'")
endif()
