# Installation and packages: the launcher, its start script, a menu entry and its icon on
# Linux (a .deb, with the emulator bridge as Zelko.exe beside the launcher), the launcher alone
# at the root of a .zip for each Windows build.
if(TARGET Quorvalis)
  if(WIN32)
    install(TARGETS Quorvalis RUNTIME DESTINATION .)
  else()
    include(GNUInstallDirs)
    # The launcher keeps its settings file beside its executable. The installed one lives in
    # lib/quorvalis/; bin/quorvalis runs a per-user copy of it from the user's data directory,
    # where the settings file can be written.
    install(TARGETS Quorvalis RUNTIME DESTINATION lib/quorvalis)
    install(PROGRAMS ${PROJECT_SOURCE_DIR}/packaging/quorvalis.sh
            DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME quorvalis)
    install(FILES ${PROJECT_SOURCE_DIR}/res/quorvalis.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${PROJECT_SOURCE_DIR}/res/quorvalis.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps)
  endif()
endif()
# The emulator bridge, where the first-run prompt finds it: the start script runs the launcher
# in this directory.
if(TARGET zelko_bridge)
  install(TARGETS zelko_bridge RUNTIME DESTINATION lib/quorvalis)
  install(TARGETS zelko_message LIBRARY DESTINATION lib/quorvalis)
endif()

set(CPACK_PACKAGE_NAME "quorvalis")
set(CPACK_PACKAGE_VENDOR "Quorvalis Software")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Quorvalis '95, a launcher for the Zelko Genesis emulator")
set(CPACK_PACKAGE_CONTACT "quorvalis@example.net")
if(WIN32)
  set(CPACK_GENERATOR "ZIP")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_SYSTEM_NAME "win64")
  else()
    set(CPACK_SYSTEM_NAME "win32")
  endif()
else()
  set(CPACK_GENERATOR "DEB")
  set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION "games")
  # The libraries' packages and versions come from dpkg-shlibdeps (packages dpkg-dev and file);
  # the bridge starts BlastEm, which no library link shows, and BlastEm stops at once when it
  # cannot run fontconfig's fc-match to find its font, which its package does not ask for.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "blastem, fontconfig")
endif()
include(CPack)
