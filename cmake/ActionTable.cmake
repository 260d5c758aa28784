# A generated source with every action of ACTIONS as an ActionEntry
# (host/ActionRunner.h): its name, its function, its sentence and its
# rollback twin, the facts of the action reference (docs/actions.md): the
# first paragraph of its section, and the twin that paragraph names ("its
# rollback twin is `X`", "`X` is its rollback twin"). Defines
# kCompiledActions and kCompiledActionCount.
function(verrand_action_table path)
    set(reference "${CMAKE_SOURCE_DIR}/docs/actions.md")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${reference}")
    file(READ "${reference}" text)
    string(REPLACE "\r" "" text "${text}")
    set(declarations "")
    set(rows "")
    list(LENGTH ARGN count)
    foreach(name IN LISTS ARGN)
        set(sentence "")
        set(twin "")
        string(FIND "${text}" "\n### ${name}\n" at)
        if(at GREATER_EQUAL 0)
            string(SUBSTRING "${text}" ${at} -1 section)
            string(REGEX REPLACE "^\n### [^\n]*\n+" "" section "${section}")
            string(FIND "${section}" "\n\n" end)
            string(SUBSTRING "${section}" 0 ${end} sentence)
            string(REPLACE "\n" " " sentence "${sentence}")
            if(sentence MATCHES "its rollback twin is `([A-Za-z0-9_]+)`")
                set(twin "${CMAKE_MATCH_1}")
            elseif(sentence MATCHES "`([A-Za-z0-9_]+)` is its rollback twin")
                set(twin "${CMAKE_MATCH_1}")
            endif()
            string(REPLACE "\\" "\\\\" sentence "${sentence}")
            string(REPLACE "\"" "\\\"" sentence "${sentence}")
        endif()
        string(APPEND declarations "VERRAND_ACTION(${name});\n")
        string(APPEND rows "    { L\"${name}\", &${name}, L\"${sentence}\", L\"${twin}\" },\n")
    endforeach()
    file(GENERATE OUTPUT "${path}" CONTENT
"// Generated from the action list and docs/actions.md.
#include \"host/ActionRunner.h\"

// g++ decorates a __stdcall name with the size of its arguments as it knows
// them where the name is used: the context pointer's type must be complete
// (instantiated) before the first address is taken, or the names get @0.
static_assert(sizeof(boost::shared_ptr<IActionContext>) > 0, \"the context pointer is a complete type\");

${declarations}
extern const ActionEntry kCompiledActions[] = {
${rows}};
extern const size_t kCompiledActionCount = ${count};
")
endfunction()
