# Windows Installer packages built from WiX-style sources with wixl. QUERIES
# are SQL statements msibuild applies afterwards, for tables wixl cannot
# author. The source's folder is the working folder, so File sources are
# relative to it; DEPENDS names those files. DEFINES are NAME=VALUE pairs for
# $(var.NAME) in the source; wixl takes no absolute paths, so a VALUE that is
# one is handed over relative to the source's folder (and depended on).
#
# CUSTOM_ACTION_TYPES are Action=kind[,flag...] entries: kind immediate,
# deferred, rollback or commit for DLL custom actions (Binary table; the
# script kinds run without impersonation), property for an action that sets
# a property (the CustomActionData of a script action); flags ignore (the
# result does not stop the installation) and secret (the installer logs no
# target, no property value and no CustomActionData). wixl writes rollback and commit actions as immediate
# ones and drops the hidden-target bit, so msibuild sets each type, and a
# last step reads the CustomAction table back and fails the build unless
# every DLL custom action of the package has exactly the type listed.
find_program(WIXL_PROGRAM wixl REQUIRED)
find_program(MSIBUILD_PROGRAM msibuild REQUIRED)
find_program(MSIINFO_PROGRAM msiinfo REQUIRED)

function(verrand_custom_action_type out entry)
    string(REGEX MATCH "^([A-Za-z_][A-Za-z_0-9.]*)=([a-z,]+)$" matched "${entry}")
    if(NOT matched)
        message(FATAL_ERROR "custom action type entry '${entry}' is not Action=kind[,flag...]")
    endif()
    set(action "${CMAKE_MATCH_1}")
    string(REPLACE "," ";" words "${CMAKE_MATCH_2}")
    list(POP_FRONT words kind)
    # 1: DLL in the Binary table; 1024 in-script; 2048 no impersonation;
    # 256 rollback; 512 commit; 51: set a property to a formatted text;
    # 64 continue on failure; 8192 hidden target.
    set(kinds immediate 1 deferred 3073 rollback 3329 commit 3585 property 51)
    list(FIND kinds "${kind}" at)
    if(at EQUAL -1 OR "${kind}" IN_LIST "1;3073;3329;3585;51")
        message(FATAL_ERROR "custom action type entry '${entry}': unknown kind '${kind}'")
    endif()
    math(EXPR at "${at} + 1")
    list(GET kinds ${at} type)
    foreach(flag IN LISTS words)
        if(flag STREQUAL "ignore")
            math(EXPR type "${type} + 64")
        elseif(flag STREQUAL "secret")
            math(EXPR type "${type} + 8192")
        else()
            message(FATAL_ERROR "custom action type entry '${entry}': unknown flag '${flag}'")
        endif()
    endforeach()
    set(${out} "${action}=${type}" PARENT_SCOPE)
endfunction()

function(verrand_msi_package output source)
    cmake_parse_arguments(PARSE_ARGV 2 PACKAGE "" "" "QUERIES;DEPENDS;DEFINES;CUSTOM_ACTION_TYPES")
    get_filename_component(folder "${source}" DIRECTORY)
    get_filename_component(outputFolder "${output}" DIRECTORY)
    set(defines)
    set(defined)
    foreach(define IN LISTS PACKAGE_DEFINES)
        string(REGEX MATCH "^([A-Za-z_0-9]+)=(.*)$" matched "${define}")
        set(value "${CMAKE_MATCH_2}")
        if(IS_ABSOLUTE "${value}")
            list(APPEND defined "${value}")
            file(RELATIVE_PATH value "${folder}" "${value}")
        endif()
        list(APPEND defines -D "${CMAKE_MATCH_1}=${value}")
    endforeach()
    set(steps COMMAND "${CMAKE_COMMAND}" -E make_directory "${outputFolder}"
              COMMAND "${WIXL_PROGRAM}" ${defines} -o "${output}" "${source}")
    set(statements ${PACKAGE_QUERIES})
    set(types)
    foreach(entry IN LISTS PACKAGE_CUSTOM_ACTION_TYPES)
        verrand_custom_action_type(typed "${entry}")
        string(REPLACE "=" ";" pair "${typed}")
        list(GET pair 0 action)
        list(GET pair 1 type)
        list(APPEND statements "UPDATE CustomAction SET Type=${type} WHERE Action='${action}'")
        list(APPEND types "${typed}")
    endforeach()
    foreach(statement IN LISTS statements)
        list(APPEND steps COMMAND "${MSIBUILD_PROGRAM}" "${output}" -q "${statement}")
    endforeach()
    # The same statements beside the package, for a package built from the
    # release's examples (every msibuild step after wixl, in order).
    if(statements)
        list(JOIN statements "\n" text)
        get_filename_component(packageName "${output}" NAME)
        file(WRITE "${output}.sql" "# msibuild ${packageName} -q 'STATEMENT' for each line, after wixl\n${text}\n")
    endif()
    if(PACKAGE_CUSTOM_ACTION_TYPES)
        string(REPLACE ";" "," typeList "${types}")
        list(APPEND steps COMMAND "${CMAKE_COMMAND}" -DMSIINFO=${MSIINFO_PROGRAM} -DPACKAGE=${output}
             -DTYPES=${typeList} -P "${CMAKE_SOURCE_DIR}/cmake/CheckCustomActionTypes.cmake")
    endif()
    add_custom_command(OUTPUT "${output}" ${steps}
        DEPENDS "${source}" ${PACKAGE_DEPENDS} ${defined} "${CMAKE_SOURCE_DIR}/cmake/CheckCustomActionTypes.cmake"
        WORKING_DIRECTORY "${folder}" VERBATIM)
endfunction()

# A package made by verrand-host msi: the plans INSTALL and REMOVE written
# into the PAYLOAD package as custom actions of VerrandCA.dll (or of CA).
# The host runs under Wine in the build's own prefix (scripts/host), one run
# at a time so that no two make that prefix together; only a build whose
# programs this machine can start (VERRAND_RUN_BUILT_PROGRAMS) makes these.
set_property(GLOBAL APPEND PROPERTY JOB_POOLS verrand_build_prefix=1)
function(verrand_plan_package output)
    cmake_parse_arguments(PARSE_ARGV 1 PACKAGE "" "PAYLOAD;INSTALL;REMOVE;CA" "DEPENDS")
    set(arguments --install "${PACKAGE_INSTALL}")
    if(PACKAGE_REMOVE)
        list(APPEND arguments --remove "${PACKAGE_REMOVE}")
    endif()
    if(PACKAGE_CA)
        list(APPEND arguments --ca "${PACKAGE_CA}")
    endif()
    get_filename_component(outputFolder "${output}" DIRECTORY)
    add_custom_command(OUTPUT "${output}"
        COMMAND "${CMAKE_COMMAND}" -E make_directory "${outputFolder}"
        COMMAND "${CMAKE_COMMAND}" -E env "VERRAND_BUILD=${CMAKE_BINARY_DIR}" bash "${CMAKE_SOURCE_DIR}/scripts/host"
                msi ${arguments} "${PACKAGE_PAYLOAD}" "${output}"
        DEPENDS verrand-host VerrandCA "${PACKAGE_PAYLOAD}" "${PACKAGE_INSTALL}" ${PACKAGE_REMOVE} ${PACKAGE_DEPENDS}
        JOB_POOL verrand_build_prefix VERBATIM)
endfunction()
