# A DLL of Windows Installer custom actions: every action named in ACTIONS is
# exported under its plain name as UINT __stdcall Name(MSIHANDLE), a line of
# the generated source that runs the action through the one adapter
# (msi/CustomActionEntry.h), and a line of the generated .def file.
#
# ARCHIVES (static library targets) are linked whole, from copies without
# their export directives, so the DLL exports the actions and nothing else.
# Poco's headers declare its API dllimport under mingw; a generated source
# gives those references the import slots a static Poco does not have.
# LIBRARIES follow them. Everything, the mingw runtime included, is linked
# statically: the installer runs the DLL from a temporary copy where no
# neighbouring DLL can be found. It carries no symbols or debug information:
# every package that uses it stores a copy.
#
# The installer loads and unloads the DLL for every action it calls, so what
# a load costs is paid per action. Its sections are page-aligned in the file:
# Wine then maps them as they are instead of reading the whole image into
# memory at each load (about 10 ms for the 2 MB image).
# ENTRIES are further custom-action entry points of the archives, plain
# UINT __stdcall Name(MSIHANDLE) functions, exported under their own names.
function(verrand_custom_action_dll target)
    cmake_parse_arguments(PARSE_ARGV 1 DLL "" "" "ACTIONS;ENTRIES;ARCHIVES;LIBRARIES")
    set(generated "${CMAKE_CURRENT_BINARY_DIR}/${target}")
    set(source "// Generated: one custom-action entry per action.\n#include \"msi/CustomActionEntry.h\"\n\n")
    foreach(name IN LISTS DLL_ACTIONS)
        string(APPEND source "VERRAND_CUSTOM_ACTION(${name})\n")
    endforeach()
    file(GENERATE OUTPUT "${generated}.actions.cpp" CONTENT "${source}")
    verrand_def_file("${generated}.def" ${target} ENTRY "VerrandCustomAction_<name>" BYTES 4 ${DLL_ACTIONS}
        PLAIN ${DLL_ENTRIES})
    verrand_standalone_dll(${target} SOURCES "${generated}.actions.cpp" "${generated}.def"
        ARCHIVES ${DLL_ARCHIVES} LIBRARIES ${DLL_LIBRARIES})
endfunction()

# A DLL that stands alone (a custom-action DLL, the NSIS plugin): SOURCES
# (its entries and .def file) and ARCHIVES (static library targets) linked
# whole, from copies without their export directives, so that the DLL
# exports what its .def file says and nothing else, then LIBRARIES; all of
# it, the mingw runtime included, statically.
function(verrand_standalone_dll target)
    cmake_parse_arguments(PARSE_ARGV 1 DLL "" "" "SOURCES;ARCHIVES;LIBRARIES")
    set(generated "${CMAKE_CURRENT_BINARY_DIR}/${target}")
    set(archives)
    foreach(archive IN LISTS DLL_ARCHIVES)
        set(copy "${generated}.${archive}.a")
        add_custom_command(OUTPUT "${copy}"
            COMMAND "${CMAKE_OBJCOPY}" --remove-section=.drectve "$<TARGET_FILE:${archive}>" "${copy}"
            DEPENDS ${archive} VERBATIM)
        list(APPEND archives "${copy}")
    endforeach()
    string(REPLACE ";" "," archiveList "${archives}")
    add_custom_command(OUTPUT "${generated}.imports.cpp"
        COMMAND "${CMAKE_COMMAND}" -DNM=${CMAKE_NM} -DPOINTER_SIZE=${CMAKE_SIZEOF_VOID_P} -DARCHIVES=${archiveList} -DOUTPUT=${generated}.imports.cpp
                -P "${CMAKE_SOURCE_DIR}/cmake/ImportShims.cmake"
        DEPENDS ${archives} "${CMAKE_SOURCE_DIR}/cmake/ImportShims.cmake" VERBATIM)
    add_custom_target(${target}_archives DEPENDS ${archives} "${generated}.imports.cpp")

    add_library(${target} SHARED ${DLL_SOURCES} "${generated}.imports.cpp")
    add_dependencies(${target} ${target}_archives)
    verrand_custom_action_link_options(${target})
    target_link_libraries(${target} PRIVATE
        -Wl,--whole-archive ${archives} -Wl,--no-whole-archive ${DLL_LIBRARIES})
    set_target_properties(${target} PROPERTIES PREFIX "" LINK_DEPENDS "${archives}")
endfunction()

# How every custom-action DLL is linked: alone, stripped, page-aligned.
function(verrand_custom_action_link_options target)
    target_link_options(${target} PRIVATE -static -s -Wl,--file-alignment=4096)
endfunction()

# NAME: an import library for the system DLL that loads it when one of
# FUNCTIONS (Name:BYTES, BYTES the size of its __stdcall arguments) is first
# called instead of when the linking module is loaded. For imports of a
# statically linked library that no action reaches: their DLL (and the DLLs
# it needs) would otherwise be loaded and unloaded with every custom action.
function(verrand_delay_load_library name dll)
    set(def "LIBRARY ${dll}.dll\nEXPORTS\n")
    foreach(entry IN LISTS ARGN)
        verrand_stdcall_entry(function symbol "${entry}")
        string(APPEND def "    ${symbol}\n")
    endforeach()
    set(generated "${CMAKE_CURRENT_BINARY_DIR}/${name}")
    file(GENERATE OUTPUT "${generated}.def" CONTENT "${def}")
    add_custom_command(OUTPUT "${generated}.a"
        COMMAND "${CMAKE_DLLTOOL}" --kill-at --input-def "${generated}.def" --output-delaylib "${generated}.a"
        DEPENDS "${generated}.def" VERBATIM)
    add_custom_target(${name}_library DEPENDS "${generated}.a")
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE "${generated}.a")
    add_dependencies(${name} ${name}_library)
endfunction()
