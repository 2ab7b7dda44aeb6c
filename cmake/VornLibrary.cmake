# vorn_add_folder_library(<name> [DEPS <targets...>] [PRIVATE_DEPS <targets...>])
# The one library of a source folder, from every .cpp/.h in it. DEPS are part of its interface;
# PRIVATE_DEPS only its implementation's. Its sources are compiled in batches (a unity build): the
# Qt headers that each of them includes are parsed once per batch, which halves a fresh build.
function(vorn_add_folder_library name)
    cmake_parse_arguments(ARG "" "" "DEPS;PRIVATE_DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS} vorn_warnings)
    set_target_properties(${name} PROPERTIES UNITY_BUILD ${VORN_UNITY_BUILD})
endfunction()
