# The documents the Debian package carries, made when the project is
# configured: the changelog from CHANGELOG.md and the manual pages from docs/,
# each compressed with gzip -9n (no name, no time stamp: the same bytes every
# time). Included by packaging/install.cmake, which installs them. Sets
# HIBI_RELEASE_DATE and HIBI_SOURCE_DATE_EPOCH from the latest release in
# CHANGELOG.md, and HIBI_DOC_DIR, where the files are made.

set(HIBI_DOC_DIR ${PROJECT_BINARY_DIR}/packaging/doc)
file(MAKE_DIRECTORY ${HIBI_DOC_DIR})
find_program(HIBI_GZIP gzip REQUIRED)
find_program(HIBI_DATE date REQUIRED)

function(hibi_gzip input output)
    execute_process(COMMAND ${HIBI_GZIP} -9nc INPUT_FILE ${input} OUTPUT_FILE ${output}
                    COMMAND_ERROR_IS_FATAL ANY)
endfunction()

# The latest release: "## VERSION (YYYY-MM-DD)", the first such heading.
set(changelog ${PROJECT_SOURCE_DIR}/CHANGELOG.md)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${changelog})
file(STRINGS ${changelog} headings REGEX "^## ")
list(GET headings 0 latest)
if(NOT latest MATCHES "^## ([0-9.]+) \\(([0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9])\\)$")
    message(FATAL_ERROR "CHANGELOG.md: the latest heading is not '## VERSION (YYYY-MM-DD)': ${latest}")
endif()
set(HIBI_RELEASE_DATE ${CMAKE_MATCH_2})
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
    message(WARNING "CHANGELOG.md's latest release is ${CMAKE_MATCH_1}, the project is "
                    "${PROJECT_VERSION}: add its entry before packaging")
endif()
execute_process(COMMAND ${HIBI_DATE} -u -d ${HIBI_RELEASE_DATE} +%s
                OUTPUT_VARIABLE HIBI_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
# For scripts/package.sh, which builds with it (Qt's resource compiler stamps the
# images with SOURCE_DATE_EPOCH, or else with their files' times).
set(HIBI_SOURCE_DATE_EPOCH ${HIBI_SOURCE_DATE_EPOCH} CACHE INTERNAL "Date of the latest release")

execute_process(COMMAND sh ${PROJECT_SOURCE_DIR}/packaging/debian_changelog.sh ${changelog}
                    ${HIBI_PACKAGE_MAINTAINER}
                OUTPUT_FILE ${HIBI_DOC_DIR}/changelog COMMAND_ERROR_IS_FATAL ANY)
hibi_gzip(${HIBI_DOC_DIR}/changelog ${HIBI_DOC_DIR}/changelog.gz)

# hibinobori.1 in English, and in Japanese for LANG=ja_*.
foreach(language en ja)
    set(suffix "")
    if(NOT language STREQUAL en)
        set(suffix .${language})
    endif()
    set(page ${HIBI_DOC_DIR}/${language}/hibinobori.1)
    configure_file(${PROJECT_SOURCE_DIR}/docs/hibinobori${suffix}.1.in ${page} @ONLY)
    hibi_gzip(${page} ${page}.gz)
endforeach()
