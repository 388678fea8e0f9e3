# The distribution folder as the package ships, and the programs beside the
# setup. Included by the Windows build; also run as a script
# (cmake -P cmake/dist.cmake) by the build step that assembles the folder,
# so that the payload table below is the only list of the package's files.

if(CMAKE_SCRIPT_MODE_FILE)
    # Before the functions below, which keep the policies of their definition.
    cmake_minimum_required(VERSION 3.25)
endif()

# The payload: for each INF branch of the setup, the files it takes from the
# platform folder and from each language folder below it.
set(DIST_LANGUAGES ger eng fre)
set(DIST_BRANCH_95_PLATFORM tqvprint.dll devura.dll kxdrvw32.dll ravelo.drv ravtlx.drv)
set(DIST_BRANCH_95_LANGUAGE unidrv.dll unidrv.hlp)
set(DIST_BRANCH_NT4_PLATFORM tqvprint.dll tqvdrv32.dll faxsrv.exe ravelo.dll ravtlx.dll)
set(DIST_BRANCH_NT4_LANGUAGE rasdd.dll rasddui.dll rasddui.hlp)
set(DIST_BRANCH_NT5_PLATFORM tqvprint.dll tqvdrv32.dll faxsrv.exe ravelo.dll ravtlx.ini
    ravelo.gpd ravtlx.gpd stdnames.gpd)
set(DIST_BRANCH_NT5_LANGUAGE unidrv.dll unidrvui.dll unidrv.hlp unires.dll tty.dll ttyui.dll
    ttyui.hlp ttyres.dll)
# Platform folder, then the branch whose files it holds.
set(DIST_PLATFORMS 95 95 nt_351 NT4 nt_40 NT4 W2K NT5)
# Built here, so shipped for real instead of as a placeholder.
set(DIST_BUILT_FILES faxsrv.exe)

# Every payload file as "folder/name" below the distribution folder.
function(dist_payload result)
    set(paths "")
    list(LENGTH DIST_PLATFORMS pair_items)
    math(EXPR last "${pair_items} - 1")
    foreach(index RANGE 0 ${last} 2)
        math(EXPR branch_index "${index} + 1")
        list(GET DIST_PLATFORMS ${index} platform)
        list(GET DIST_PLATFORMS ${branch_index} branch)
        foreach(name IN LISTS DIST_BRANCH_${branch}_PLATFORM)
            list(APPEND paths "${platform}/${name}")
        endforeach()
        foreach(language IN LISTS DIST_LANGUAGES)
            foreach(name IN LISTS DIST_BRANCH_${branch}_LANGUAGE)
                list(APPEND paths "${platform}/${language}/${name}")
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
