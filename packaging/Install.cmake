# What `cmake --install` puts in place, and the Debian package that `make package` makes of it.
# The package installs under /opt/orvi; links from /usr make the programs, the manual pages,
# the menu entry and the icon visible to the system.
include(GNUInstallDirs)

set(ORVI_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})

if(TARGET orvi-report)
  install(TARGETS orvi-report RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${ORVI_PACKAGING_DIR}/orvi-report.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

if(TARGET orvi)
  install(TARGETS orvi RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # orvi reads its settings next to the program. The shipped file is the one orvi itself
  # writes when it finds none, made by the same code.
  set(ORVI_DEFAULT_SETTINGS ${CMAKE_BINARY_DIR}/packaging/orvi.ini)
  add_custom_command(OUTPUT ${ORVI_DEFAULT_SETTINGS}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
                     COMMAND orvi-assets settings ${CMAKE_BINARY_DIR}/packaging
                     DEPENDS orvi-assets VERBATIM)
  add_custom_target(orvi-default-settings ALL DEPENDS ${ORVI_DEFAULT_SETTINGS})
  install(FILES ${ORVI_DEFAULT_SETTINGS} DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_SOURCE_DIR}/assets/sound1.wav ${CMAKE_SOURCE_DIR}/assets/sound2.wav
          DESTINATION ${CMAKE_INSTALL_DATADIR}/orvi)
  install(FILES ${ORVI_PACKAGING_DIR}/orvi.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${ORVI_PACKAGING_DIR}/orvi.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${ORVI_PACKAGING_DIR}/orvi.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
  # The icon is committed; this redraws it from the face renderer.
  add_custom_target(orvi-icon COMMAND orvi-assets icon ${ORVI_PACKAGING_DIR}/orvi.png 256
                    DEPENDS orvi-assets VERBATIM)
endif()
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The package is the program and its report; a build that lacks one of them makes no package.
if(NOT TARGET orvi OR NOT TARGET orvi-report)
  return()
endif()
set(ORVI_PACKAGE_MAINTAINER "The orvi developers" CACHE STRING "Maintainer field of the package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvi)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${ORVI_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "reaction-time experiment with a rotated schematic face")
set(CPACK_PACKAGE_DESCRIPTION
    "orvi shows a schematic face at one of eight rotations while a looping cue sound names\n"
    "the target eye, measures the time to the participant's click and writes one line per\n"
    "trial to a record file. orvi-report analyses reaction time against the rotation.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /opt/orvi)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# The libraries come from dpkg-shlibdeps; these are loaded at run time, not linked: the
# Japanese font and Qt's Japanese dialog texts (orvi), PLplot's PNG/SVG driver (orvi-report).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic, qt6-translations-l10n, plplot-driver-cairo")
# A lab's edits of the settings file survive upgrades.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${ORVI_PACKAGING_DIR}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Pairs of a link in the system's folders and the file under the prefix it points to: the
# programs on PATH, and what man, the desktop menu and the icon theme look for in /usr/share.
set(CPACK_ORVI_LINKS
    usr/bin/orvi ${CMAKE_INSTALL_BINDIR}/orvi
    usr/bin/orvi-report ${CMAKE_INSTALL_BINDIR}/orvi-report
    usr/share/man/man1/orvi.1 ${CMAKE_INSTALL_MANDIR}/man1/orvi.1
    usr/share/man/man1/orvi-report.1 ${CMAKE_INSTALL_MANDIR}/man1/orvi-report.1
    usr/share/applications/orvi.desktop ${CMAKE_INSTALL_DATADIR}/applications/orvi.desktop
    usr/share/icons/hicolor/256x256/apps/orvi.png
    ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps/orvi.png)
set(CPACK_INSTALL_SCRIPTS ${ORVI_PACKAGING_DIR}/SystemLinks.cmake)
include(CPack)
