# Writes OUTPUT, a C++ source that gives each dllimport reference to a C++
# function or object in ARCHIVES (comma-separated; Poco's headers declare its
# API dllimport under mingw) the pointer slot the reference reads, holding
# the address of the definition that a static library links in. NM is the
# cross nm; POINTER_SIZE is 4 or 8.
string(REPLACE "," ";" archives "${ARCHIVES}")
set(symbols)
foreach(archive IN LISTS archives)
    execute_process(COMMAND "${NM}" -u "${archive}" OUTPUT_VARIABLE listing RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "nm could not read ${archive}")
    endif()
    # 32-bit symbols carry a leading underscore (__imp___Z...), 64-bit ones not.
    string(REGEX MATCHALL "__imp__?_Z[A-Za-z0-9_$@.]*" found "${listing}")
    list(APPEND symbols ${found})
endforeach()
list(SORT symbols)
list(REMOVE_DUPLICATES symbols)
if(POINTER_SIZE EQUAL 8)
    set(slot .quad)
else()
    set(slot .long)
endif()
set(text "// Generated: import slots for C++ symbols linked statically.\nasm(\".section .rdata,\\\"dr\\\"\\n\"\n    \".align ${POINTER_SIZE}\\n\"\n")
foreach(symbol IN LISTS symbols)
    string(REGEX REPLACE "^__imp_" "" target "${symbol}")
    string(APPEND text "    \".globl ${symbol}\\n${symbol}: ${slot} ${target}\\n\"\n")
endforeach()
string(APPEND text "    \".text\\n\");\n")
file(WRITE "${OUTPUT}.new" "${text}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
