# vorn_add_test(<name> SOURCES <files...> [LIBS <targets...>] [ENV <VAR=value...>]
#               [LABELS <labels...>] [TIMEOUT <seconds>] [UNDER_XVFB] [WITH_ACCESSIBILITY_BUS]
#               [RESOURCE_LOCK <names...>])
# One Qt Test executable, registered with ctest under <name>. UNDER_XVFB runs it against a private
# X server; WITH_ACCESSIBILITY_BUS (with UNDER_XVFB) gives it a private session and accessibility
# bus, so Qt's accessibility is on; RESOURCE_LOCK keeps it from running beside other tests that
# take the same lock.
function(vorn_add_test name)
    cmake_parse_arguments(ARG "UNDER_XVFB;WITH_ACCESSIBILITY_BUS" "TIMEOUT"
        "SOURCES;LIBS;ENV;LABELS;RESOURCE_LOCK" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test vorn_test_support vorn_warnings ${ARG_LIBS})
    set(wrappers "")
    if(ARG_UNDER_XVFB)
        list(APPEND wrappers ${VORN_WITH_XVFB})
    endif()
    if(ARG_WITH_ACCESSIBILITY_BUS)
        list(APPEND wrappers ${VORN_WITH_ACCESSIBILITY_BUS})
    endif()
    if(wrappers)
        add_test(NAME ${name} COMMAND ${wrappers} $<TARGET_FILE:${name}>)
    else()
        add_test(NAME ${name} COMMAND ${name})
    endif()
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
    if(ARG_ENV)
        set_tests_properties(${name} PROPERTIES ENVIRONMENT "${ARG_ENV}")
    endif()
    if(ARG_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
    endif()
    if(ARG_RESOURCE_LOCK)
        set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${ARG_RESOURCE_LOCK}")
    endif()
endfunction()
