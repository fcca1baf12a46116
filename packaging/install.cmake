# Installation and the Debian package. Included by the top-level CMakeLists.txt.
#
#   cmake --install <build> [--prefix /usr]     the program, its launcher, menu entry,
#                                 icons, metainfo, manual pages, copyright and changelog
#   cpack -G DEB --config <build>/CPackConfig.cmake   hibinobori_<version>_<arch>.deb
#
# scripts/package.sh builds the package reproducibly; packaging/check_package.sh
# builds, inspects, installs and starts it.

include(GNUInstallDirs)

# The desktop id: the menu entry is share/applications/${HIBI_APP_ID}.desktop and
# the AppStream file share/metainfo/${HIBI_APP_ID}.metainfo.xml names it as its
# launchable. The icon keeps the plain name the entry asks for (Icon=hibinobori).
set(HIBI_APP_ID io.github.hibinobori.Hibinobori)
set(HIBI_ICON_NAME hibinobori)
set(HIBI_ICON_SIZES 16 32 48 64 128 256)

set(HIBI_PACKAGE_MAINTAINER "Hibinobori maintainers <maintainers@hibinobori.invalid>"
    CACHE STRING "Maintainer field of the Debian package: Name <address>")

install(TARGETS hibinobori RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The compilers' identification strings are of no use in the installed program.
string(CONFIGURE [[
execute_process(COMMAND "@CMAKE_OBJCOPY@" --remove-section=.comment
                "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/@CMAKE_INSTALL_BINDIR@/hibinobori"
                COMMAND_ERROR_IS_FATAL ANY)
]] remove_comment @ONLY)
install(CODE "${remove_comment}")

# The menu entry starts the program through this script, which changes to the
# home directory first: the program keeps its files in its working directory.
# It is no command of its own, so it lives off PATH, and finds the program
# relative to itself, under whatever prefix the two are installed.
set(HIBI_LAUNCHER_DIR ${CMAKE_INSTALL_LIBEXECDIR}/hibinobori)
file(RELATIVE_PATH HIBI_LAUNCHER_TO_PROGRAM /${HIBI_LAUNCHER_DIR} /${CMAKE_INSTALL_BINDIR}/hibinobori)
configure_file(${PROJECT_SOURCE_DIR}/packaging/hibinobori-launch.in
               ${PROJECT_BINARY_DIR}/packaging/hibinobori-launch @ONLY)
install(PROGRAMS ${PROJECT_BINARY_DIR}/packaging/hibinobori-launch
        DESTINATION ${HIBI_LAUNCHER_DIR})
# The entry names the launcher by its full path, known only at installation
# (cmake --install --prefix, or /usr in the package).
string(CONFIGURE [[
set(HIBI_LAUNCHER "${CMAKE_INSTALL_PREFIX}/@HIBI_LAUNCHER_DIR@/hibinobori-launch")
configure_file("@PROJECT_SOURCE_DIR@/resources/hibinobori.desktop.in"
               "@PROJECT_BINARY_DIR@/packaging/@HIBI_APP_ID@.desktop" @ONLY)
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/@CMAKE_INSTALL_DATADIR@/applications"
     TYPE FILE FILES "@PROJECT_BINARY_DIR@/packaging/@HIBI_APP_ID@.desktop")
]] install_entry @ONLY)
install(CODE "${install_entry}")
install(FILES ${PROJECT_SOURCE_DIR}/resources/${HIBI_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size IN LISTS HIBI_ICON_SIZES)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/app_icon_${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${HIBI_ICON_NAME}.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/resources/app_icon.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${HIBI_ICON_NAME}.svg)

# The manual pages, the changelog and the copyright notice.
include(${CMAKE_CURRENT_LIST_DIR}/debian_docs.cmake)
install(FILES ${HIBI_DOC_DIR}/en/hibinobori.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${HIBI_DOC_DIR}/ja/hibinobori.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/ja/man1)
install(FILES ${HIBI_DOC_DIR}/changelog.gz ${PROJECT_SOURCE_DIR}/packaging/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# --- The Debian package -------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME hibinobori)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${HIBI_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "step-up savings coach: 1 yen on day 1, N yen on day N")
# CPack indents these lines and turns the empty one into " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"A small desktop coach for a step-up savings plan: put 1 yen aside on day 1,
2 yen on day 2 and N yen on day N. Every day the window says what to deposit;
when days were missed it adds up the arrears, and one press of the deposit
button records the whole amount due. Deposits are kept in a Shift-JIS ledger
file, in the home directory when started from the menu, and shown with a
running total.

1日目に1円、N日目にN円を貯金していく「日々のぼり貯金」のコーチです。")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${HIBI_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# dpkg-shlibdeps (package dpkg-dev) adds the libraries the program links:
# libqt6core6, libqt6gui6, libqt6widgets6, libc6, libstdc++6, libgcc-s1. The
# rest it needs at run time without linking it: the font its Japanese text is
# drawn with (IPAGothic, IPAPGothic) and Qt's own Japanese texts (qtbase_ja.qm,
# loaded at start-up). The xcb platform plugin ships in libqt6gui6 on Debian 12.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic, qt6-translations-l10n")
# Two builds of the same source make the same package: the files' times in it
# are SOURCE_DATE_EPOCH, by default the date of the latest release in
# CHANGELOG.md, as dpkg-buildpackage takes it from debian/changelog.
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/packaging/cpack_project.cmake CONTENT [[
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    set(ENV{SOURCE_DATE_EPOCH} @HIBI_SOURCE_DATE_EPOCH@)
endif()
]] @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/packaging/cpack_project.cmake)

include(CPack)

# --- Tests of the installed tree -----------------------------------------------
if(HIBI_BUILD_TESTS)
    set(HIBI_INSTALL_TEST_ROOT ${PROJECT_BINARY_DIR}/packaging-test/root)
    add_test(NAME install.tree
             COMMAND ${CMAKE_COMMAND}
                 -DBUILD_DIR=${PROJECT_BINARY_DIR}
                 -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
                 -DROOT=${HIBI_INSTALL_TEST_ROOT}
                 -DAPP_ID=${HIBI_APP_ID}
                 -DICON_NAME=${HIBI_ICON_NAME}
                 "-DICON_SIZES=${HIBI_ICON_SIZES}"
                 -DVERSION=${PROJECT_VERSION}
                 -DBINDIR=${CMAKE_INSTALL_BINDIR}
                 -DLIBEXECDIR=${CMAKE_INSTALL_LIBEXECDIR}
                 -DDATADIR=${CMAKE_INSTALL_DATADIR}
                 -P ${PROJECT_SOURCE_DIR}/packaging/check_install_tree.cmake)
    set_tests_properties(install.tree PROPERTIES
        LABELS install FIXTURES_SETUP hibi_install_root)

    add_test(NAME install.launch
             COMMAND bash ${PROJECT_SOURCE_DIR}/packaging/test_launch.sh
                 ${HIBI_INSTALL_TEST_ROOT}/usr ${HIBI_APP_ID})
    set_tests_properties(install.launch PROPERTIES
        LABELS install FIXTURES_REQUIRED hibi_install_root
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen")

    find_program(HIBI_DESKTOP_FILE_VALIDATE desktop-file-validate)
    find_program(HIBI_APPSTREAMCLI appstreamcli)
    if(HIBI_DESKTOP_FILE_VALIDATE)
        add_test(NAME install.desktop_file_validate
                 COMMAND ${HIBI_DESKTOP_FILE_VALIDATE}
                     ${HIBI_INSTALL_TEST_ROOT}/usr/share/applications/${HIBI_APP_ID}.desktop)
        set_tests_properties(install.desktop_file_validate PROPERTIES
            LABELS install FIXTURES_REQUIRED hibi_install_root)
    else()
        message(STATUS "desktop-file-validate not found (desktop-file-utils): "
                       "install.desktop_file_validate is not registered")
    endif()
    if(HIBI_APPSTREAMCLI)
        # validate-tree checks the metainfo file together with the menu entry it
        # names and the icon that entry asks for.
        add_test(NAME install.appstream_validate
                 COMMAND ${HIBI_APPSTREAMCLI} validate-tree --no-net --explain
                     ${HIBI_INSTALL_TEST_ROOT})
        set_tests_properties(install.appstream_validate PROPERTIES
            LABELS install FIXTURES_REQUIRED hibi_install_root)
    else()
        message(STATUS "appstreamcli not found (appstream): "
                       "install.appstream_validate is not registered")
    endif()
endif()
