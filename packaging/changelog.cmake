# SPDX-License-Identifier: GPL-3.0-or-later
# The version and its date are stated once, in the latest entry of debian/changelog: CMake, the
# program, its manual page and the AppStream metadata take them from there.
set(changelog ${CMAKE_CURRENT_LIST_DIR}/../debian/changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${changelog})
file(STRINGS ${changelog} entry REGEX "^(zarvello \\(| -- )" LIMIT_COUNT 2)
list(GET entry 0 heading)
list(GET entry 1 trailer)
string(REGEX REPLACE "^zarvello \\(([^)]+)\\).*" "\\1" ZARVELLO_VERSION "${heading}")
# project() takes numbers alone, without a suffix such as ~rc1.
string(REGEX MATCH "^[0-9]+(\\.[0-9]+)*" ZARVELLO_NUMERIC_VERSION "${ZARVELLO_VERSION}")
# The trailer's date, "Mon, 07 Dec 2026 21:00:00 +0000", as 2026-12-07.
if(NOT ZARVELLO_NUMERIC_VERSION OR NOT trailer MATCHES ">  [A-Z][a-z][a-z], ([0-9]+) ([A-Z][a-z][a-z]) ([0-9]+) ")
    message(FATAL_ERROR "No version or date in the latest entry of ${changelog}")
endif()
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND months ${CMAKE_MATCH_2} month)
math(EXPR month "${month} + 101") # two digits after the 1
math(EXPR day "${CMAKE_MATCH_1} + 100")
string(SUBSTRING ${month} 1 2 month)
string(SUBSTRING ${day} 1 2 day)
set(ZARVELLO_RELEASE_DATE ${CMAKE_MATCH_3}-${month}-${day})
