# The shipped languages, read from the setup's own list (catalog/languages.h):
# sets SHIPPED_LANGUAGES to "ger;eng;fre" and stops when it reads none.
get_filename_component(SHIPPED_LANGUAGES_HEADER "${CMAKE_CURRENT_LIST_DIR}/../catalog/languages.h"
                       ABSOLUTE)
# Without the macro's line continuations, which would escape the list
# separators, one line per list item.
file(READ "${SHIPPED_LANGUAGES_HEADER}" language_text)
string(REPLACE "\\" "" language_text "${language_text}")
string(REPLACE "\n" ";" language_lines "${language_text}")
set(SHIPPED_LANGUAGES "")
foreach(line IN LISTS language_lines)
    if(line MATCHES "^ *LANGUAGE\\(\"([a-z]+)\"\\)")
        list(APPEND SHIPPED_LANGUAGES "${CMAKE_MATCH_1}")
    endif()
endforeach()
if(NOT SHIPPED_LANGUAGES)
    message(FATAL_ERROR "no language read from ${SHIPPED_LANGUAGES_HEADER}")
endif()
