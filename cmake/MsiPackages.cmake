# Windows Installer packages built from WiX-style sources with wixl. QUERIES
# are SQL statements msibuild applies afterwards, for tables wixl cannot
# author. The source's folder is the working folder, so File sources are
# relative to it; DEPENDS names those files.
find_program(WIXL_PROGRAM wixl REQUIRED)
find_program(MSIBUILD_PROGRAM msibuild REQUIRED)

function(verrand_msi_package output source)
    cmake_parse_arguments(PARSE_ARGV 2 PACKAGE "" "" "QUERIES;DEPENDS")
    get_filename_component(folder "${source}" DIRECTORY)
    get_filename_component(outputFolder "${output}" DIRECTORY)
    set(steps COMMAND "${CMAKE_COMMAND}" -E make_directory "${outputFolder}"
              COMMAND "${WIXL_PROGRAM}" -o "${output}" "${source}")
    foreach(query IN LISTS PACKAGE_QUERIES)
        list(APPEND steps COMMAND "${MSIBUILD_PROGRAM}" "${output}" -q "${query}")
    endforeach()
    add_custom_command(OUTPUT "${output}" ${steps}
        DEPENDS "${source}" ${PACKAGE_DEPENDS}
        WORKING_DIRECTORY "${folder}" VERBATIM)
endfunction()
