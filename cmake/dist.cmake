# The distribution folder as the package ships, and the programs beside the
# setup. Included by the Windows build; also run as a script
# (cmake -P cmake/dist.cmake) by the build step that assembles the folder,
# so that the payload table below is the only list of the package's files.

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

if(CMAKE_SCRIPT_MODE_FILE)
    cmake_minimum_required(VERSION 3.25)
    # Script mode: DIST_DIR, SOURCE_DIR and one <NAME>_PATH per built file.
    foreach(variable DIST_DIR SOURCE_DIR SETUP_PATH FAXSRV_PATH)
        if(NOT DEFINED ${variable})
            message(FATAL_ERROR "dist.cmake: ${variable} is not set")
        endif()
    endforeach()
    file(REMOVE_RECURSE "${DIST_DIR}")
    file(MAKE_DIRECTORY "${DIST_DIR}")
    file(COPY "${SETUP_PATH}" DESTINATION "${DIST_DIR}")
    foreach(language IN LISTS DIST_LANGUAGES)
        file(COPY "${SOURCE_DIR}/resources/lang.${language}" DESTINATION "${DIST_DIR}")
    endforeach()

    # folder: the place below the distribution folder, named in a placeholder
    # so that a test can tell which folder an installed copy came from.
    function(place_file folder name)
        set(directory "${DIST_DIR}/${folder}")
        file(MAKE_DIRECTORY "${directory}")
        if(name IN_LIST DIST_BUILT_FILES)
            string(REPLACE "." ";" parts "${name}")
            list(GET parts 0 stem)
            string(TOUPPER "${stem}" stem)
            file(COPY "${${stem}_PATH}" DESTINATION "${directory}")
        else()
            file(WRITE "${directory}/${name}"
                 "PLACEHOLDER: ${name} (${folder}) is a component of the package, not built here\r\n")
        endif()
    endfunction()

    list(LENGTH DIST_PLATFORMS pair_items)
    math(EXPR last "${pair_items} - 1")
    foreach(index RANGE 0 ${last} 2)
        math(EXPR branch_index "${index} + 1")
        list(GET DIST_PLATFORMS ${index} platform)
        list(GET DIST_PLATFORMS ${branch_index} branch)
        foreach(name IN LISTS DIST_BRANCH_${branch}_PLATFORM)
            place_file("${platform}" "${name}")
        endforeach()
        foreach(language IN LISTS DIST_LANGUAGES)
            foreach(name IN LISTS DIST_BRANCH_${branch}_LANGUAGE)
                place_file("${platform}/${language}" "${name}")
            endforeach()
        endforeach()
    endforeach()
    return()
endif()

add_subdirectory(${PROJECT_SOURCE_DIR}/tools ${CMAKE_BINARY_DIR}/tools)

set(SETUP_DIST_DIR "${PROJECT_SOURCE_DIR}/build/dist" CACHE PATH
    "Where the build assembles the distribution folder")
add_custom_target(dist ALL
    COMMAND ${CMAKE_COMMAND} -DDIST_DIR=${SETUP_DIST_DIR} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
            -DSETUP_PATH=$<TARGET_FILE:setup> -DFAXSRV_PATH=$<TARGET_FILE:faxsrv>
            -P ${CMAKE_CURRENT_LIST_FILE}
    DEPENDS setup faxsrv
    COMMENT "Assembling the distribution folder ${SETUP_DIST_DIR}"
    VERBATIM)
