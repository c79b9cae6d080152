# Device files: which built file goes where in a device root.
#
# ferrovane_device_file(TARGET target DEVICE_PATH "\\windows\\Ferrovane.dll" [SELF_REGISTER])
# ferrovane_device_file(FILE path DEVICE_PATH "\\program files\\ferrovane\\amount.cfg" [CONFIG])
#     records a target's built file, or a file of the source tree, for the device_install target.
#     CONFIG marks a file the user may change (an install keeps the user's version); SELF_REGISTER a
#     library that an install registers (kernel/Install.h).
# ferrovane_device_manifest(OUTPUT file ENTRIES target-or-file device-path ...)
#     writes a manifest of such pairs (host path, a tab, device path; a line each) when the build is
#     generated; kernel::InstallDeviceManifest installs one, so tests can fill their own device roots.
# The target device_install copies every recorded file into DEVICE_ROOT.

set(DEVICE_ROOT "${CMAKE_SOURCE_DIR}/device" CACHE PATH "The device root that the device_install target fills")

# The manifest line of one entry; targets also go into the list `targets_out`.
function(_ferrovane_device_line source device_path kind line_out targets_out)
    if(TARGET ${source})
        set(host "$<TARGET_FILE:${source}>")
        set(${targets_out} ${${targets_out}} ${source} PARENT_SCOPE)
    else()
        get_filename_component(host "${source}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
        set(${targets_out} ${${targets_out}} PARENT_SCOPE)
    endif()
    if(kind)
        set(${line_out} "${host}\t${device_path}\t${kind}" PARENT_SCOPE)
    else()
        set(${line_out} "${host}\t${device_path}" PARENT_SCOPE)
    endif()
endfunction()

function(ferrovane_device_file)
    cmake_parse_arguments(D "CONFIG;SELF_REGISTER" "TARGET;FILE;DEVICE_PATH" "" ${ARGN})
    if(NOT D_DEVICE_PATH OR (D_TARGET AND D_FILE) OR (NOT D_TARGET AND NOT D_FILE) OR
       (D_CONFIG AND D_SELF_REGISTER))
        message(FATAL_ERROR "ferrovane_device_file takes TARGET or FILE, DEVICE_PATH, and CONFIG or SELF_REGISTER")
    endif()
    set(kind "")
    if(D_CONFIG)
        set(kind "config")
    elseif(D_SELF_REGISTER)
        set(kind "register")
    endif()
    set(targets "")
    _ferrovane_device_line("${D_TARGET}${D_FILE}" "${D_DEVICE_PATH}" "${kind}" line targets)
    set_property(GLOBAL APPEND PROPERTY FERROVANE_DEVICE_LINES "${line}")
    set_property(GLOBAL APPEND PROPERTY FERROVANE_DEVICE_TARGETS ${targets})
endfunction()

# TARGETS_VAR (optional) names a variable that receives the targets the manifest names, for
# add_dependencies of whatever installs it.
function(ferrovane_device_manifest)
    cmake_parse_arguments(M "" "OUTPUT;TARGETS_VAR" "ENTRIES" ${ARGN})
    list(LENGTH M_ENTRIES count)
    math(EXPR odd "${count} % 2")
    if(NOT M_OUTPUT OR odd)
        message(FATAL_ERROR "ferrovane_device_manifest takes OUTPUT and pairs of ENTRIES")
    endif()
    set(lines "")
    set(targets "")
    set(index 0)
    while(index LESS count)
        math(EXPR next "${index} + 1")
        list(GET M_ENTRIES ${index} source)
        list(GET M_ENTRIES ${next} device_path)
        _ferrovane_device_line("${source}" "${device_path}" "" line targets)
        string(APPEND lines "${line}\n")
        math(EXPR index "${index} + 2")
    endwhile()
    file(GENERATE OUTPUT "${M_OUTPUT}" CONTENT "${lines}")
    if(M_TARGETS_VAR)
        set(${M_TARGETS_VAR} ${targets} PARENT_SCOPE)
    endif()
endfunction()

# Runs once the whole project is read, when every device file is known.
function(_ferrovane_device_install_target)
    get_property(lines GLOBAL PROPERTY FERROVANE_DEVICE_LINES)
    get_property(targets GLOBAL PROPERTY FERROVANE_DEVICE_TARGETS)
    set(content "")
    foreach(line IN LISTS lines)
        string(APPEND content "${line}\n")
    endforeach()
    set(manifest "${CMAKE_BINARY_DIR}/device-files.txt")
    file(GENERATE OUTPUT "${manifest}" CONTENT "${content}")
    add_custom_target(device_install
        COMMAND ferrovane_device_install "${manifest}" "${DEVICE_ROOT}"
        COMMENT "Installing the device files into ${DEVICE_ROOT}"
        VERBATIM)
    if(targets)
        add_dependencies(device_install ${targets})
    endif()
endfunction()
cmake_language(DEFER CALL _ferrovane_device_install_target)
