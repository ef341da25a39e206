# Runs pivrel-cli once and checks its exit status, the first line of its output and, when asked,
# its standard error, or a line anywhere in its output. Called by ctest with -DCLI= -DARGS=
# -DSTATUS= [-DFIRST_LINE=] [-DSTDERR=] [-DOUTPUT=].
execute_process(COMMAND ${CLI} ${ARGS}
                RESULT_VARIABLE status
                OUTPUT_VARIABLE output
                ERROR_VARIABLE errors)
if(NOT status STREQUAL STATUS)
    message(FATAL_ERROR "exit status ${status}, expected ${STATUS}\nstdout:\n${output}\nstderr:\n${errors}")
endif()
if(FIRST_LINE)
    string(REGEX MATCH "^[^\n]*" first "${output}")
    if(NOT first MATCHES "${FIRST_LINE}")
        message(FATAL_ERROR "first line '${first}' does not match '${FIRST_LINE}'")
    endif()
endif()
if(OUTPUT AND NOT output MATCHES "${OUTPUT}")
    message(FATAL_ERROR "the output does not match '${OUTPUT}':\n${output}")
endif()
if(STDERR AND NOT errors MATCHES "${STDERR}")
    message(FATAL_ERROR "standard error '${errors}' does not match '${STDERR}'")
endif()
