# Install rules and packages (cpack -G DEB, TGZ; ZIP for Windows).
include(GNUInstallDirs)

set(tarvel_programs tarvel-cli)
if(TARGET Tarvel)
  list(APPEND tarvel_programs Tarvel)
endif()
if(WIN32)
  # The zip unpacks into the folder that becomes the workspace: the programs
  # and their papers side by side.
  install(TARGETS ${tarvel_programs} RUNTIME DESTINATION . COMPONENT programs)
  # The README's links lead into docs/, so the pages go along in that folder.
  install(FILES README.md LICENSE THIRD-PARTY-NOTICES.md DESTINATION . COMPONENT programs)
  install(DIRECTORY docs/ DESTINATION docs COMPONENT programs)
  set(CPACK_PACKAGE_FILE_NAME "tarvel-${PROJECT_VERSION}-windows-10-11-x64")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  install(TARGETS ${tarvel_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
          COMPONENT programs)
  install(FILES README.md LICENSE THIRD-PARTY-NOTICES.md
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tarvel COMPONENT programs)
  install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tarvel/docs
          COMPONENT programs)
endif()

if(NOT WIN32 AND TARGET Tarvel)
  # What a Linux desktop expects of an installed program. The marker tells the
  # programs that they are installed, so that they keep the workspace in the
  # user's data folder: only these rules put it there.
  set(tarvel_id io.github.tarvel.tarvel)
  install(FILES data/${tarvel_id}.desktop data/${tarvel_id}.station.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT linux)
  install(FILES data/${tarvel_id}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT linux)
  install(FILES data/${tarvel_id}.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT linux)
  install(FILES ${CMAKE_BINARY_DIR}/completion/tarvel-cli
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT linux)
  install(FILES data/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tarvel COMPONENT linux)
  install(FILES data/lintian-overrides RENAME tarvel
          DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides COMPONENT linux)
  file(WRITE ${CMAKE_BINARY_DIR}/installed "")
  install(FILES ${CMAKE_BINARY_DIR}/installed
          DESTINATION ${CMAKE_INSTALL_DATADIR}/tarvel COMPONENT linux)

  set(man_folder ${CMAKE_BINARY_DIR}/man)
  install(FILES ${man_folder}/tarvel-cli.1.gz ${man_folder}/Tarvel.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT linux)
  # The version's notes, as Debian keeps them for a package of its own making.
  set(changelog ${CMAKE_BINARY_DIR}/changelog.gz)
  add_custom_command(OUTPUT ${changelog}
                     COMMAND sh -c "gzip -9nc '${CMAKE_SOURCE_DIR}/data/changelog' >'${changelog}'"
                     DEPENDS ${CMAKE_SOURCE_DIR}/data/changelog
                     COMMENT "Changelog")
  add_custom_target(changelog ALL DEPENDS ${changelog})
  install(FILES ${changelog} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tarvel COMPONENT linux)
endif()

set(CPACK_PACKAGE_NAME tarvel)
set(CPACK_PACKAGE_VENDOR "The Tarvel developers")
set(CPACK_PACKAGE_CONTACT "The Tarvel developers <tarvel@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Configure a Modbus RTU / Modbus ASCII converter")
# The package's long description; the summary above is its first line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Tarvel keeps one project folder per two-port serial protocol converter,
edits its general parameters (operation mode; for each side RS232 or RS485,
baud rate, parity, data bits, stop bits, time-out), stores them as XML,
encodes them into the device image and runs the external serial updater
over a COM port, guided by a wizard. tarvel-cli does the same from scripts,
for batches of converters, and provisions a bench of them with an audit log.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # Depends from the shared libraries linked
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://github.com/tarvel/tarvel")
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
include(CPack)
