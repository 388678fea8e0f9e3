# The distribution folder as the package ships, and the programs beside the
# setup. Included by the Windows build; also run as a script
# (cmake -P cmake/dist.cmake) by the build step that assembles the folder,
# so that the payload table below is the only list of the package's files.

if(CMAKE_SCRIPT_MODE_FILE)
    # Before the functions below, which keep the policies of their definition.
    cmake_minimum_required(VERSION 3.25)
endif()

# The payload comes from the setup's own list of the distribution's files,
# the header its INF writer is built from.
get_filename_component(DIST_FILES_HEADER "${CMAKE_CURRENT_LIST_DIR}/../setup/distribution_files.h"
                       ABSOLUTE)
# Where a file named by its constant there is spelt.
get_filename_component(DIST_NAMES_HEADER "${CMAKE_CURRENT_LIST_DIR}/../setup/product_names.h"
                       ABSOLUTE)
include(${CMAKE_CURRENT_LIST_DIR}/languages.cmake)
set(DIST_LANGUAGES ${SHIPPED_LANGUAGES})

# Each `#define NAME "text"` of the names header as the variable NAME_NAME.
file(STRINGS "${DIST_NAMES_HEADER}" name_lines REGEX "^#define [A-Z0-9_]+ \"[^\"]*\"$")
foreach(line IN LISTS name_lines)
    string(REGEX MATCH "^#define ([A-Z0-9_]+) \"([^\"]*)\"$" matched "${line}")
    set(${CMAKE_MATCH_1}_NAME "${CMAKE_MATCH_2}")
endforeach()
if(NOT FAX_SERVER_FILE_NAME)
    message(FATAL_ERROR "${DIST_NAMES_HEADER}: no FAX_SERVER_FILE")
endif()
# Built here, so shipped for real instead of as a placeholder.
set(DIST_BUILT_FILES "${FAX_SERVER_FILE_NAME}")

# Every payload file as "folder/name" below the distribution folder: for
# each platform folder its branch's files (and the print processor) from
# the folder itself and from each language folder below it.
function(dist_payload result)
    # Without the macros' line continuations, which would escape the list
    # separators, one line per list item.
    file(READ "${DIST_FILES_HEADER}" text)
    string(REPLACE "\\" "" text "${text}")
    string(REPLACE "\n" ";" lines "${text}")
    set(folders "")
    set(branch "")
    set(entries 0)
    set(parsed 0)
    foreach(line IN LISTS lines)
        if(line MATCHES "^#define PRINT_PROCESSOR_SOURCE\\(")
            set(branch EVERY)
        elseif(line MATCHES "^#define ([A-Z0-9_]+)_SOURCES\\(")
            set(branch "${CMAKE_MATCH_1}")
        endif()
        if(line MATCHES "[ (]FILE\\(|[ (]FOLDER\\(" AND NOT line MATCHES "^#define|^ *//")
            math(EXPR entries "${entries} + 1")
        endif()
        if(line MATCHES "^ +FOLDER\\([A-Z0-9_]+, [0-9]+, \"([^\"]+)\", ([A-Z0-9_]+)\\) *$")
            list(APPEND folders "${CMAKE_MATCH_1}" "${CMAKE_MATCH_2}")
            math(EXPR parsed "${parsed} + 1")
        elseif(branch AND line MATCHES "^ +FILE\\((PLATFORM|LANGUAGE), \"([^\"]+)\"\\) *$")
            list(APPEND files_${branch}_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
            math(EXPR parsed "${parsed} + 1")
        elseif(branch AND line MATCHES "^ +FILE\\((PLATFORM|LANGUAGE), ([A-Z0-9_]+)\\) *$")
            if(NOT DEFINED ${CMAKE_MATCH_2}_NAME)
                message(FATAL_ERROR "${DIST_FILES_HEADER}: ${CMAKE_MATCH_2} is not in ${DIST_NAMES_HEADER}")
            endif()
            list(APPEND files_${branch}_${CMAKE_MATCH_1} "${${CMAKE_MATCH_2}_NAME}")
            math(EXPR parsed "${parsed} + 1")
        endif()
    endforeach()
    # A line spelt otherwise would go missing from the distribution unseen.
    if(parsed EQUAL 0 OR NOT parsed EQUAL entries)
        message(FATAL_ERROR "${DIST_FILES_HEADER}: read ${parsed} of ${entries} entries")
    endif()
    set(paths "")
    list(LENGTH folders folder_items)
    math(EXPR last "${folder_items} - 1")
    foreach(index RANGE 0 ${last} 2)
        math(EXPR branch_index "${index} + 1")
        list(GET folders ${index} folder)
        list(GET folders ${branch_index} branch)
        foreach(name IN LISTS files_EVERY_PLATFORM files_${branch}_PLATFORM)
            list(APPEND paths "${folder}/${name}")
        endforeach()
        foreach(language IN LISTS DIST_LANGUAGES)
            foreach(name IN LISTS files_${branch}_LANGUAGE)
                list(APPEND paths "${folder}/${language}/${name}")
            endforeach()
        endforeach()
    endforeach()
    set(${result} "${paths}" PARENT_SCOPE)
endfunction()

# A packager's payload folder must hold every file the INFs take; a file no
# INF takes would never be installed, which is worth a warning.
function(check_payload_dir payload_dir)
    dist_payload(expected)
    set(missing "")
    foreach(path IN LISTS expected)
        if(NOT EXISTS "${payload_dir}/${path}")
            list(APPEND missing "${path}")
        endif()
    endforeach()
    file(GLOB_RECURSE present RELATIVE "${payload_dir}" "${payload_dir}/*")
    foreach(path IN LISTS present)
        if(NOT path IN_LIST expected)
            message(WARNING "SETUP_PAYLOAD_DIR: no INF of the setup takes ${path}")
        endif()
    endforeach()
    if(missing)
        list(JOIN missing "\n  " listed)
        message(FATAL_ERROR "SETUP_PAYLOAD_DIR ${payload_dir} lacks:\n  ${listed}")
    endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE)
    # Script mode: DIST_DIR, SOURCE_DIR, one <NAME>_PATH per built file, and
    # PAYLOAD_DIR when a packager's own files replace the placeholders.
    foreach(variable DIST_DIR SOURCE_DIR SETUP_PATH FAXSRV_PATH)
        if(NOT DEFINED ${variable})
            message(FATAL_ERROR "dist.cmake: ${variable} is not set")
        endif()
    endforeach()
    if(PAYLOAD_DIR)
        check_payload_dir("${PAYLOAD_DIR}")
    endif()
    file(REMOVE_RECURSE "${DIST_DIR}")
    file(MAKE_DIRECTORY "${DIST_DIR}")
    file(COPY "${SETUP_PATH}" DESTINATION "${DIST_DIR}")
    foreach(language IN LISTS DIST_LANGUAGES)
        file(COPY "${SOURCE_DIR}/resources/lang.${language}" DESTINATION "${DIST_DIR}")
    endforeach()

    # The packager's file; else the built program; else a placeholder that
    # names its folder, so that a test can tell which folder an installed
    # copy came from.
    dist_payload(payload)
    foreach(path IN LISTS payload)
        get_filename_component(folder "${path}" DIRECTORY)
        get_filename_component(name "${path}" NAME)
        set(directory "${DIST_DIR}/${folder}")
        file(MAKE_DIRECTORY "${directory}")
        if(PAYLOAD_DIR)
            file(COPY "${PAYLOAD_DIR}/${path}" DESTINATION "${directory}")
        elseif(name IN_LIST DIST_BUILT_FILES)
            get_filename_component(stem "${name}" NAME_WE)
            string(TOUPPER "${stem}" stem)
            file(COPY "${${stem}_PATH}" DESTINATION "${directory}")
        else()
            file(WRITE "${directory}/${name}"
                 "PLACEHOLDER: ${name} (${folder}) is a component of the package, not built here\r\n")
        endif()
    endforeach()
    return()
endif()

add_subdirectory(${PROJECT_SOURCE_DIR}/tools ${CMAKE_BINARY_DIR}/tools)

set(SETUP_DIST_DIR "${PROJECT_SOURCE_DIR}/build/dist" CACHE PATH
    "Where the build assembles the distribution folder")
set(SETUP_PAYLOAD_DIR "" CACHE PATH
    "A packager's payload laid out as the distribution folder; empty: placeholders")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${DIST_FILES_HEADER}"
                                                            "${DIST_NAMES_HEADER}")
if(SETUP_PAYLOAD_DIR)
    # Checked now so that the configure step names what is missing.
    check_payload_dir("${SETUP_PAYLOAD_DIR}")
endif()
add_custom_target(dist ALL
    COMMAND ${CMAKE_COMMAND} -DDIST_DIR=${SETUP_DIST_DIR} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
            -DSETUP_PATH=$<TARGET_FILE:setup> -DFAXSRV_PATH=$<TARGET_FILE:faxsrv>
            -DPAYLOAD_DIR=${SETUP_PAYLOAD_DIR}
            -P ${CMAKE_CURRENT_LIST_FILE}
    DEPENDS setup faxsrv
    COMMENT "Assembling the distribution folder ${SETUP_DIST_DIR}"
    VERBATIM)
