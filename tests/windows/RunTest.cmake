# Runs one Windows test program (through RUNNER, wine, when given) with its results written to
# OUTPUT (reached by the program through DRIVE), prints them, and fails when the program failed.
file(REMOVE ${OUTPUT})
execute_process(COMMAND ${RUNNER} ${PROGRAM} -o ${DRIVE}${OUTPUT},txt RESULT_VARIABLE _rc)
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} _text)
  message("${_text}")
endif()
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "${PROGRAM}: ${_rc}")
endif()
