# vorn_add_fuzz_target(<name> SOURCES <files...> [LIBS <targets...>])
# One libFuzzer target: its sources define LLVMFuzzerTestOneInput, and its seed corpus lies in
# tests/fuzz/corpus/<name>/. In the fuzz build (preset fuzz, clang) it becomes the fuzzer
# <name>, which `make fuzz` runs; in the test builds the same sources are linked with a replay
# main into <name>_replay, and ctest's test of that name hands it every input of the corpus
# once. Adding a target is one call here and one folder of seeds.
function(vorn_add_fuzz_target name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    set(corpus ${CMAKE_CURRENT_SOURCE_DIR}/corpus/${name})
    if(NOT IS_DIRECTORY ${corpus})
        message(FATAL_ERROR "fuzz target ${name} has no seed corpus in ${corpus}")
    endif()
    if(VORN_FUZZ)
        add_executable(${name} ${ARG_SOURCES})
        target_link_libraries(${name} PRIVATE ${ARG_LIBS} vorn_warnings)
        target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
        target_link_options(${name} PRIVATE -fsanitize=fuzzer)
        add_dependencies(vorn_fuzz_targets ${name})
        set_property(GLOBAL APPEND PROPERTY VORN_FUZZ_TARGETS "${name}=$<TARGET_FILE:${name}>=${corpus}")
    else()
        add_executable(${name}_replay ${ARG_SOURCES} ${CMAKE_CURRENT_SOURCE_DIR}/replaymain.cpp)
        target_link_libraries(${name}_replay PRIVATE ${ARG_LIBS} vorn_warnings)
        target_include_directories(${name}_replay PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
        add_test(NAME ${name}_replay COMMAND ${name}_replay ${corpus})
        set_tests_properties(${name}_replay PROPERTIES LABELS fuzz TIMEOUT 120)
    endif()
endfunction()
