# Installation and the Debian package. Included by the top-level CMakeLists.txt.
#
#   cmake --install <build> [--prefix /usr]     the program, menu entry, icons, metainfo
#   cpack -G DEB --config <build>/CPackConfig.cmake   hibinobori_<version>_<arch>.deb
#
# packaging/check_package.sh builds, inspects, installs and starts the package.

include(GNUInstallDirs)

# The desktop id: the menu entry is share/applications/${HIBI_APP_ID}.desktop and
# the AppStream file share/metainfo/${HIBI_APP_ID}.metainfo.xml names it as its
# launchable. The icon keeps the plain name the entry asks for (Icon=hibinobori).
set(HIBI_APP_ID io.github.hibinobori.Hibinobori)
set(HIBI_ICON_NAME hibinobori)
set(HIBI_ICON_SIZES 16 32 48 64 128 256)

install(TARGETS hibinobori RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The menu entry starts the program through this script, which changes to the
# home directory first: the program keeps its files in its working directory.
install(PROGRAMS ${PROJECT_SOURCE_DIR}/packaging/hibinobori-launch
        DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/resources/hibinobori.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
        RENAME ${HIBI_APP_ID}.desktop)
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

# --- The Debian package -------------------------------------------------------
set(HIBI_PACKAGE_MAINTAINER "Hibinobori maintainers <maintainers@hibinobori.invalid>"
    CACHE STRING "Maintainer field of the Debian package: Name <address>")

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
# rest it needs at run time without linking it: the Qt platform plugins and the
# font its Japanese text is drawn with (IPAGothic, IPAPGothic). On Debian 12 the
# xcb plugin itself ships in libqt6gui6; qt6-qpa-plugins adds the others.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-ipafont-gothic")

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
