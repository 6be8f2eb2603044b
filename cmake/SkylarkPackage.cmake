# The desktop integration of an installed Skylark and its Debian package:
#   cmake --build build && cd build && cpack -G DEB
include(GNUInstallDirs)
set(SKYLARK_APP_ID io.github.skylark.Skylark)

install(FILES ${PROJECT_SOURCE_DIR}/data/${SKYLARK_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/${SKYLARK_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 24 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/assets/icons/skylark-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME skylark.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/assets/icons/skylark.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_PACKAGE_NAME skylark)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The Skylark developers <feedback@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Air-fare monitor that alerts when a fare drops to your price")
set(CPACK_PACKAGE_INSTALL_DIRECTORY skylark)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The dependencies come from the shared libraries the programs link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The fare history opens its file through Qt's SQLite plugin, which nothing links; Qt's own
# texts (dialog buttons, the file dialog) come in Chinese from Qt's translations.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, qt6-translations-l10n")
# The windows' Chinese texts need a CJK face; Debian's is Noto.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-noto-cjk)
set(CPACK_STRIP_FILES ON)
include(CPack)

# The desktop entry and the AppStream file are checked where their validators exist
# (scripts/setup.sh installs them).
find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
find_program(APPSTREAMCLI appstreamcli)
if(SKYLARK_BUILD_TESTS AND DESKTOP_FILE_VALIDATE)
    add_test(NAME desktop_entry COMMAND ${DESKTOP_FILE_VALIDATE}
             ${PROJECT_SOURCE_DIR}/data/${SKYLARK_APP_ID}.desktop)
endif()
if(SKYLARK_BUILD_TESTS AND APPSTREAMCLI)
    add_test(NAME appstream_metainfo COMMAND ${APPSTREAMCLI} validate --no-net
             ${PROJECT_SOURCE_DIR}/data/${SKYLARK_APP_ID}.metainfo.xml)
endif()
