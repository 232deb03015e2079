# Installation and packages: on Linux a .deb with the launcher, its start script, the emulator
# bridge as Zelko.exe beside the launcher, a menu entry, icons, AppStream metadata, a manual
# page and Debian's copyright and changelog files; for each Windows build a .zip with the
# launcher, its licence and a short readme at its root.
set(QV_PACKAGING ${PROJECT_SOURCE_DIR}/packaging)
set(QV_METAINFO_ID net.example.quorvalis)

# The newest entries of the changelog and the AppStream releases name this version.
file(STRINGS ${QV_PACKAGING}/changelog QV_CHANGELOG_TOP LIMIT_COUNT 1)
file(STRINGS ${QV_PACKAGING}/${QV_METAINFO_ID}.metainfo.xml QV_METAINFO_RELEASE
     REGEX "<release " LIMIT_COUNT 1)
if(NOT QV_CHANGELOG_TOP MATCHES "^quorvalis \\(${PROJECT_VERSION}\\) " OR
   NOT QV_METAINFO_RELEASE MATCHES "version=\"${PROJECT_VERSION}\"")
  message(FATAL_ERROR "packaging/changelog and the metainfo's releases need an entry for "
                      "version ${PROJECT_VERSION} at the top")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${QV_PACKAGING}/changelog
             ${QV_PACKAGING}/${QV_METAINFO_ID}.metainfo.xml)

if(TARGET Quorvalis)
  if(WIN32)
    install(TARGETS Quorvalis RUNTIME DESTINATION .)
    # Text files for Windows' own editors: CRLF line ends.
    configure_file(${PROJECT_SOURCE_DIR}/LICENSE LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
    configure_file(${QV_PACKAGING}/windows-readme.txt README.txt @ONLY NEWLINE_STYLE CRLF)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/LICENSE.txt ${CMAKE_CURRENT_BINARY_DIR}/README.txt
            DESTINATION .)
  else()
    include(GNUInstallDirs)
    # The launcher keeps its settings file beside its executable. The installed one lives in
    # lib/quorvalis/; bin/quorvalis runs a per-user copy of it from the user's data directory,
    # where the settings file can be written.
    install(TARGETS Quorvalis RUNTIME DESTINATION lib/quorvalis)
    install(PROGRAMS ${QV_PACKAGING}/quorvalis.sh
            DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME quorvalis)
    install(FILES ${PROJECT_SOURCE_DIR}/res/quorvalis.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${QV_PACKAGING}/${QV_METAINFO_ID}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    install(FILES ${PROJECT_SOURCE_DIR}/res/quorvalis.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps)
    foreach(size 16 48 64 128 256)
      install(FILES ${PROJECT_SOURCE_DIR}/res/icons/quorvalis-${size}.png
              DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
              RENAME quorvalis.png)
    endforeach()

    # The manual page and the changelog go in gzipped at the highest level, without a time
    # stamp, as Debian's tools would put them; the copyright file as it is.
    set(QV_GZIPPED)
    foreach(file quorvalis.6 changelog)
      set(gz ${CMAKE_CURRENT_BINARY_DIR}/packaging/${file}.gz)
      add_custom_command(OUTPUT ${gz}
                         COMMAND ${CMAKE_COMMAND} -E make_directory packaging
                         COMMAND sh -c "gzip -9n <\"$0\" >\"$1\"" ${QV_PACKAGING}/${file} ${gz}
                         DEPENDS ${QV_PACKAGING}/${file}
                         VERBATIM)
      list(APPEND QV_GZIPPED ${gz})
    endforeach()
    add_custom_target(qv_package_docs ALL DEPENDS ${QV_GZIPPED})
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/quorvalis.6.gz
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz ${QV_PACKAGING}/copyright
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorvalis)
  endif()
endif()
# The emulator bridge, where the first-run prompt finds it: on Linux the start script runs the
# launcher in this directory; in a Windows zip it is beside Quorvalis.exe.
if(TARGET zelko_bridge AND WIN32)
  install(TARGETS zelko_bridge RUNTIME DESTINATION .)
elseif(TARGET zelko_bridge)
  install(TARGETS zelko_bridge RUNTIME DESTINATION lib/quorvalis)
  install(TARGETS zelko_message LIBRARY DESTINATION lib/quorvalis)
endif()
# A stripped installation (the package's) also leaves out the compiler's .comment section, as
# Debian's own packages do.
if(NOT WIN32 AND TARGET Quorvalis AND TARGET zelko_bridge AND CMAKE_OBJCOPY)
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      foreach(file Quorvalis Zelko.exe zelko-message.so)
        execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
                                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/quorvalis/\${file}\"
                        COMMAND_ERROR_IS_FATAL ANY)
      endforeach()
    endif()")
endif()

set(CPACK_PACKAGE_NAME "quorvalis")
set(CPACK_PACKAGE_VENDOR "Quorvalis Software")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quorvalis '95 developers <quorvalis@example.net>")
# Packages hold the programs without their debug information; the build tree keeps it.
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Quorvalis '95, a launcher for the Zelko Genesis emulator")
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
  # Debian's section for emulators and the programs around them.
  set(CPACK_DEBIAN_PACKAGE_SECTION "otherosfs")
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.example.net/quorvalis/")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
      "launcher for Genesis and Mega Drive cartridges, played in BlastEm")
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[
Quorvalis '95 is a small single-window launcher for a Genesis (Mega Drive)
emulator. It lists the cartridge ROM images of one directory, shows a title
for each, taken from the cartridge's header until the user gives it one of
their own, and keeps launch options for each cartridge in its settings file:
the region (USA, Europe or Japan), the frame value, and whether the sound and
the Z-80 sound processor run. Launch Emulator, or a double-click on a
cartridge, starts the emulator with the cartridge and its options.

The launcher was written for the Zelko emulator; this package plays through
BlastEm instead. Its emulator bridge, offered on the first run in the Zelko
emulator's place, turns the launcher's options into BlastEm's own and starts
/usr/games/blastem. Each user runs a copy of the launcher of their own, with
their settings file beside it in ~/.local/share/quorvalis/.]=])
  # The bridge starts BlastEm, which no library link shows, and BlastEm stops at once when it
  # cannot run fontconfig's fc-match to find its font, which its package does not ask for.
  # The library dependencies come from dpkg-shlibdeps (packages dpkg-dev and file), run by
  # packaging/deb-depends.cmake.in when cpack makes the package: CPack's own run of it would
  # also give the package maintainer scripts that call ldconfig, which a package with no
  # library on the linker's path does not need.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "blastem, fontconfig")
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
  if(TARGET Quorvalis AND TARGET zelko_bridge)
    file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/packaging/shlibdeps/debian)
    file(TOUCH ${CMAKE_CURRENT_BINARY_DIR}/packaging/shlibdeps/debian/control)
    configure_file(${QV_PACKAGING}/deb-depends.cmake.in packaging/deb-depends.cmake.gen @ONLY)
    file(GENERATE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/packaging/deb-depends.cmake
         INPUT ${CMAKE_CURRENT_BINARY_DIR}/packaging/deb-depends.cmake.gen)
    set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_BINARY_DIR}/packaging/deb-depends.cmake)
  endif()
endif()
include(CPack)
