# Installation: the program folder lib/sonavel holds the programs and the
# background libraries side by side (the program loads "*.dll" from its own
# folder), bin/ links to the programs, and the desktop entry, MIME type,
# icon and man pages go where the desktop and man look for them. A .deb is
# built with `cpack -G DEB`.
include(GNUInstallDirs)
set(SONAVEL_PROGRAM_DIR lib/sonavel)

install(TARGETS sonavel-cli RUNTIME DESTINATION ${SONAVEL_PROGRAM_DIR})
install(TARGETS Ambix LIBRARY DESTINATION ${SONAVEL_PROGRAM_DIR})
set(_programs sonavel-cli)
if(SONAVEL_GUI)
  install(TARGETS sonavel RUNTIME DESTINATION ${SONAVEL_PROGRAM_DIR})
  list(APPEND _programs sonavel)
  install(FILES ${PROJECT_SOURCE_DIR}/src/sonavel/sonavel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/src/sonavel/sonavel.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
  install(FILES ${PROJECT_SOURCE_DIR}/src/mwnd/icons/sonavel.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/man/sonavel.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/docs/man/sonavel-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# bin/ links, relative so that the tree can be moved (a package's files
# unpacked anywhere still run).
foreach(p ${_programs})
  install(CODE "
    set(_bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(MAKE_DIRECTORY \"\${_bin}\")
    file(CREATE_LINK \"../${SONAVEL_PROGRAM_DIR}/${p}\" \"\${_bin}/${p}\" SYMBOLIC)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${_bin}/${p}\")
    message(STATUS \"Installing: \${_bin}/${p} -> ../${SONAVEL_PROGRAM_DIR}/${p}\")")
endforeach()

set(CPACK_PACKAGE_NAME sonavel)
set(CPACK_PACKAGE_VENDOR "Kelvadi")
set(CPACK_PACKAGE_CONTACT "Sonavel maintainers <sonavel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "binaural-beat generator with presets, a desktop program and a command-line tool")
set(CPACK_PACKAGE_INSTALL_DIRECTORY sonavel)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# The libraries the programs link (Qt, ALSA, libsndfile, libcurl) come from
# dpkg-shlibdeps; Qt's platform plugins and the SVG icon loader are loaded at
# run time and named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, desktop-file-utils")
include(CPack)
