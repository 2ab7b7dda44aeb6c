# cmake -DBINARY=<executable> -DFORBIDDEN=<regex> -P check_symbols.cmake
# Fails when the executable defines a symbol (demangled) that matches FORBIDDEN: test doubles
# stay out of the program.
execute_process(COMMAND nm -C --defined-only ${BINARY} OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR symbols STREQUAL "")
    message(FATAL_ERROR "nm could not list the symbols of ${BINARY}")
endif()
string(REGEX MATCHALL "[^\n]*(${FORBIDDEN})[^\n]*" found "${symbols}")
if(found)
    list(JOIN found "\n  " shown)
    message(FATAL_ERROR "${BINARY} defines:\n  ${shown}")
endif()
message(STATUS "${BINARY} defines nothing matching ${FORBIDDEN}")
