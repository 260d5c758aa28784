# Names of the exported actions: every VERRAND_ACTION(Name) in the sources.
function(verrand_action_names out)
    set(names)
    foreach(source IN LISTS ARGN)
        file(STRINGS "${source}" lines REGEX "^VERRAND_ACTION\\([A-Za-z_0-9]+\\)")
        foreach(line IN LISTS lines)
            string(REGEX REPLACE "^VERRAND_ACTION\\(([A-Za-z_0-9]+)\\).*" "\\1" name "${line}")
            list(APPEND names "${name}")
        endforeach()
    endforeach()
    list(SORT names)
    list(REMOVE_DUPLICATES names)
    set(${out} "${names}" PARENT_SCOPE)
endfunction()

# How the linker names a __stdcall function taking BYTES bytes of arguments:
# Name@BYTES on 32-bit Windows; 64-bit Windows has one calling convention and
# no decoration.
function(verrand_stdcall_symbol out name bytes)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        set(${out} "${name}@${bytes}" PARENT_SCOPE)
    else()
        set(${out} "${name}" PARENT_SCOPE)
    endif()
endfunction()

# A function given as Name:BYTES: its name, and its linker symbol.
function(verrand_stdcall_entry nameOut symbolOut entry)
    string(REPLACE ":" ";" pair "${entry}")
    list(GET pair 0 name)
    list(GET pair 1 bytes)
    verrand_stdcall_symbol(symbol ${name} ${bytes})
    set(${nameOut} "${name}" PARENT_SCOPE)
    set(${symbolOut} "${symbol}" PARENT_SCOPE)
endfunction()

# A plan file OUTPUT: the plan INPUT with a last step that fails (a
# registry root that does not exist), so that its rollback runs.
function(verrand_failing_plan input output)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${input}")
    file(READ "${input}" plan)
    string(JSON last LENGTH "${plan}" steps)
    string(JSON plan SET "${plan}" steps ${last}
        [=[{"action": "DeleteRegistryKey", "args": {"Root": "HKEY_FAIL_ON_PURPOSE", "Path": "Software\\Verrand Notes"}}]=])
    file(WRITE "${output}" "${plan}\n")
endfunction()

# A .def file exporting each __stdcall action of the remaining arguments
# under its plain name. By default an action is its own function, taking 8
# bytes of arguments; ENTRY names the function instead (<name> stands for
# the action's name) and BYTES the size of its arguments. Functions listed
# after PLAIN are exported under their own names, with the same BYTES;
# FUNCTIONS lists further ones as Name:BYTES.
function(verrand_def_file path library)
    cmake_parse_arguments(PARSE_ARGV 2 DEF "" "ENTRY;BYTES" "PLAIN;FUNCTIONS")
    if(NOT DEFINED DEF_ENTRY)
        set(DEF_ENTRY "<name>")
    endif()
    if(NOT DEFINED DEF_BYTES)
        set(DEF_BYTES 8)
    endif()
    set(text "LIBRARY ${library}.dll\nEXPORTS\n")
    foreach(name IN LISTS DEF_UNPARSED_ARGUMENTS)
        string(REPLACE "<name>" "${name}" function "${DEF_ENTRY}")
        verrand_stdcall_symbol(symbol ${function} ${DEF_BYTES})
        string(APPEND text "    ${name}=${symbol}\n")
    endforeach()
    foreach(name IN LISTS DEF_PLAIN)
        verrand_stdcall_symbol(symbol ${name} ${DEF_BYTES})
        string(APPEND text "    ${name}=${symbol}\n")
    endforeach()
    if(DEF_FUNCTIONS)
        # What follows are plain functions, no actions (readers of the list stop here).
        string(APPEND text "; functions\n")
    endif()
    foreach(entry IN LISTS DEF_FUNCTIONS)
        verrand_stdcall_entry(name symbol "${entry}")
        string(APPEND text "    ${name}=${symbol}\n")
    endforeach()
    file(GENERATE OUTPUT "${path}" CONTENT "${text}")
endfunction()

# A Windows version resource with the project version, for a DLL or an
# executable.
function(verrand_version_resource target description)
    set(VERSION_TARGET "${target}")
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
        set(VERSION_FILETYPE VFT_APP)
        set(VERSION_FILENAME "${target}.exe")
    else()
        set(VERSION_FILETYPE VFT_DLL)
        set(VERSION_FILENAME "${target}.dll")
    endif()
    set(VERSION_DESCRIPTION "${description}")
    configure_file("${CMAKE_SOURCE_DIR}/cmake/version.rc.in" "${CMAKE_BINARY_DIR}/${target}.version.rc" @ONLY)
    target_sources(${target} PRIVATE "${CMAKE_BINARY_DIR}/${target}.version.rc")
endfunction()

# The mingw runtime and Poco next to the binaries in dist/.
function(verrand_copy_runtime)
    set(files "${VERRAND_DEPS}/poco/bin/libPocoFoundation.dll")
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        set(gcc_runtime libgcc_s_dw2-1.dll)
    else()
        set(gcc_runtime libgcc_s_seh-1.dll)
    endif()
    foreach(dll libstdc++-6.dll ${gcc_runtime} libwinpthread-1.dll)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                        OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
        if(NOT EXISTS "${found}")
            message(FATAL_ERROR "mingw runtime ${dll} not found")
        endif()
        list(APPEND files "${found}")
    endforeach()
    file(COPY ${files} DESTINATION "${DIST_DIR}")
endfunction()

# Import libraries of a DLL's C functions (Name:BYTES, __stdcall) for C
# callers: sdk/lib/TARGET.dll.a for mingw and sdk/lib/TARGET.lib for MSVC,
# both made by dlltool from one .def, so the decorated names a compiler
# asks for (_Name@BYTES on 32-bit Windows) lead to the plain exports.
function(verrand_c_import_libraries target)
    set(def "LIBRARY ${target}.dll\nEXPORTS\n")
    foreach(entry IN LISTS ARGN)
        verrand_stdcall_entry(function symbol "${entry}")
        string(APPEND def "    ${symbol}\n")
    endforeach()
    set(sdk "${CMAKE_BINARY_DIR}/sdk/lib")
    file(GENERATE OUTPUT "${sdk}/${target}.def" CONTENT "${def}")
    set(outputs)
    foreach(library "${sdk}/${target}.dll.a" "${sdk}/${target}.lib")
        add_custom_command(OUTPUT "${library}"
            COMMAND "${CMAKE_DLLTOOL}" --kill-at --input-def "${sdk}/${target}.def" --dllname "${target}.dll"
                    --output-lib "${library}"
            DEPENDS "${sdk}/${target}.def" VERBATIM)
        list(APPEND outputs "${library}")
    endforeach()
    add_custom_target(${target}_import_libraries ALL DEPENDS ${outputs})
endfunction()
