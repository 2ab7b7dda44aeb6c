# cmake -DSOURCE_DIR=<tree> -P check_layers.cmake
# Fails when a source file includes a header of a folder it has no arrow to. Every arrow is named
# here: a folder may include its own headers and those of the folders listed for it, nothing
# else, so a layer that reaches past the one it builds on (the view into the wave-out device, the
# renderer into the shell) fails as surely as one that reaches upward.
#
#   sim  resources  platform/draw  platform/sound     (no arrows)
#   platform/shell  -> platform/draw resources sim
#   audio           -> platform/sound sim
#   plot            -> platform/draw sim
#   settings        -> platform/shell resources
#   view            -> audio plot settings platform/shell resources sim
#   app/codec       -> resources
#   app             -> view app/codec platform/shell platform/sound resources
#   design          -> sim
#   soundfile       -> sim
#   cli             -> design sim
#   tools           -> cli design soundfile plot platform/draw resources sim
#   listen          -> cli design soundfile platform/sound resources sim
set(arrows_sim "")
set(arrows_resources "")
set(arrows_platform/draw "")
set(arrows_platform/sound "")
set(arrows_platform/shell platform/draw resources sim)
set(arrows_audio platform/sound sim)
set(arrows_plot platform/draw sim)
set(arrows_settings platform/shell resources)
set(arrows_view audio plot settings platform/shell resources sim)
set(arrows_app/codec resources)
set(arrows_app view app/codec platform/shell platform/sound resources)
set(arrows_design sim)
set(arrows_soundfile sim)
set(arrows_cli design sim)
set(arrows_tools cli design soundfile plot platform/draw resources sim)
set(arrows_listen cli design soundfile platform/sound resources sim)
set(folders sim resources platform/draw platform/sound platform/shell audio plot settings view
    app/codec app design soundfile cli tools listen)

# Which folder each header lives in; a name in two folders would make the check ambiguous.
foreach(folder IN LISTS folders)
    file(GLOB headers RELATIVE ${SOURCE_DIR}/${folder} ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.h.in)
    foreach(header IN LISTS headers)
        string(REGEX REPLACE "\\.in$" "" header ${header})
        if(header STREQUAL "version.h")
            set(header vornversion.h)
        endif()
        if(DEFINED home_${header})
            message(FATAL_ERROR "${header} is in ${home_${header}}/ and in ${folder}/")
        endif()
        set(home_${header} ${folder})
    endforeach()
endforeach()

set(violations "")
set(checked 0)
foreach(folder IN LISTS folders)
    file(GLOB sources ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
    foreach(source IN LISTS sources)
        math(EXPR checked "${checked} + 1")
        file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" included "${line}")
            get_filename_component(name ${included} NAME)
            if(NOT DEFINED home_${name})
                continue()
            endif()
            set(target ${home_${name}})
            if(target STREQUAL folder)
                continue()
            endif()
            list(FIND arrows_${folder} ${target} index)
            if(index EQUAL -1)
                file(RELATIVE_PATH shown ${SOURCE_DIR} ${source})
                list(APPEND violations "${shown} includes ${included} from ${target}/")
            endif()
        endforeach()
    endforeach()
endforeach()

# Every source folder of the tree is one of the above: a new folder needs its arrows.
set(roots "")
foreach(folder IN LISTS folders)
    string(REGEX REPLACE "/.*" "" root ${folder})
    list(APPEND roots ${SOURCE_DIR}/${root}/*.cpp ${SOURCE_DIR}/${root}/*.h)
endforeach()
file(GLOB_RECURSE all_sources RELATIVE ${SOURCE_DIR} ${roots})
foreach(source IN LISTS all_sources)
    get_filename_component(folder ${source} DIRECTORY)
    list(FIND folders "${folder}" index)
    if(index EQUAL -1)
        list(APPEND violations "${source} is in ${folder}/, which has no arrows here")
    endif()
endforeach()

if(checked LESS 50)
    message(FATAL_ERROR "only ${checked} files found under ${SOURCE_DIR}: wrong tree?")
endif()
if(violations)
    list(REMOVE_DUPLICATES violations)
    list(JOIN violations "\n  " shown)
    message(FATAL_ERROR "includes against the layers:\n  ${shown}")
endif()
message(STATUS "${checked} files keep to their arrows")
