# Debian packages, made with CPack from a configured and built tree:
#   cpack -G DEB          (in the build folder; scripts/package.sh does it all)
#
# annoncia      the console program and the zip engine (/opt/annoncia/bin and
#               lib, as `cmake --install` lays them out), the settings file as
#               a conffile in /etc/opt/annoncia with a link beside the program,
#               /etc/default/annoncia, the systemd units and the man page; its
#               post-install step makes the system user annoncia and its
#               Windows folder /var/lib/annoncia.
# annoncia-gui  the window; depends on annoncia, so a server needs no Qt.
#
# The files outside the prefix belong to the package only: they are marked
# EXCLUDE_FROM_ALL, so a plain `cmake --install` never writes to /etc or /lib.
# Dependencies come from the libraries the binaries link (dpkg-shlibdeps).

set(ANNONCIA_PACKAGE_PREFIX /opt/annoncia)
set(ANNONCIA_ETC_DIR /etc/opt/annoncia)
set(pkg ${PROJECT_SOURCE_DIR}/packaging)
set(out ${PROJECT_BINARY_DIR}/packaging)

set(ANNONCIA_SYSTEMD_UNIT_DIR "" CACHE PATH "Where the package puts the systemd units (empty: systemd's own answer)")
if(NOT ANNONCIA_SYSTEMD_UNIT_DIR)
  pkg_get_variable(ANNONCIA_SYSTEMD_UNIT_DIR systemd systemdsystemunitdir)
  if(NOT ANNONCIA_SYSTEMD_UNIT_DIR)
    set(ANNONCIA_SYSTEMD_UNIT_DIR /lib/systemd/system)
  endif()
endif()

# Compressed copies as Debian wants them (gzip -9, no name or time stamp).
find_program(GZIP_PROGRAM gzip)
set(gz_files "")
foreach(f annoncia.1 changelog)
  if(GZIP_PROGRAM)
    add_custom_command(OUTPUT ${out}/${f}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${out}
      COMMAND sh -c "'${GZIP_PROGRAM}' -9 -n -c '${pkg}/${f}' > '${out}/${f}.gz'"
      DEPENDS ${pkg}/${f}
      VERBATIM)
    list(APPEND gz_files ${out}/${f}.gz)
  endif()
endforeach()
add_custom_target(annoncia_package_files ALL DEPENDS ${gz_files})
file(MAKE_DIRECTORY ${out})
file(WRITE ${out}/conffiles "${ANNONCIA_ETC_DIR}/Annoncia.ini\n/etc/default/annoncia\n")
foreach(script postinst prerm postrm)
  configure_file(${pkg}/${script} ${out}/${script} COPYONLY)
endforeach()

set(system COMPONENT console EXCLUDE_FROM_ALL)
install(FILES ${pkg}/Annoncia.ini DESTINATION ${ANNONCIA_ETC_DIR}
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ ${system})
install(FILES ${pkg}/default-annoncia DESTINATION /etc/default RENAME annoncia ${system})
install(FILES ${pkg}/annoncia@.service ${pkg}/annoncia@.timer DESTINATION ${ANNONCIA_SYSTEMD_UNIT_DIR} ${system})
install(FILES ${pkg}/lintian-overrides DESTINATION /usr/share/lintian/overrides RENAME annoncia ${system})
install(FILES ${pkg}/lintian-overrides-gui DESTINATION /usr/share/lintian/overrides RENAME annoncia-gui
        COMPONENT gui EXCLUDE_FROM_ALL)
install(FILES ${pkg}/copyright DESTINATION /usr/share/doc/annoncia ${system})
install(FILES ${pkg}/copyright DESTINATION /usr/share/doc/annoncia-gui COMPONENT gui EXCLUDE_FROM_ALL)
if(GZIP_PROGRAM)
  install(FILES ${out}/annoncia.1.gz DESTINATION /usr/share/man/man1 ${system})
  install(FILES ${out}/changelog.gz DESTINATION /usr/share/doc/annoncia ${system})
  install(FILES ${out}/changelog.gz DESTINATION /usr/share/doc/annoncia-gui COMPONENT gui EXCLUDE_FROM_ALL)
endif()
# The program reads the settings beside itself.
install(CODE "file(CREATE_LINK ${ANNONCIA_ETC_DIR}/Annoncia.ini
                    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/Annoncia.ini\" SYMBOLIC)"
        ${system})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME annoncia)
set(CPACK_PACKAGE_VENDOR "Annoncia")
set(CPACK_PACKAGE_CONTACT "Annoncia developers <annoncia@example.com>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${ANNONCIA_PACKAGE_PREFIX})
# Absolute destinations (/etc, the units) go into the package, not onto this machine.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX ${ANNONCIA_PACKAGE_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL console gui)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_CONSOLE_PACKAGE_NAME annoncia)
set(CPACK_COMPONENT_CONSOLE_DESCRIPTION
"publish a car dealer's used-vehicle stock to classified-ad portals
Annoncia rewrites the data export of the dealer's stock system into the feed
of a French classified-ad portal (ParuVendu, AutoScout24, SitAutoPro,
TopAnnonces, LeBonCoin, InfoPress), brings the photos up to date on the photo
FTP server and uploads the feed by FTP. This package holds the console
program for unattended runs, with systemd units (annoncia@PORTAL.timer).")
set(CPACK_DEBIAN_CONSOLE_PACKAGE_CONTROL_EXTRA "${out}/conffiles;${out}/postinst;${out}/prerm;${out}/postrm")

set(CPACK_DEBIAN_GUI_PACKAGE_NAME annoncia-gui)
set(CPACK_COMPONENT_GUI_DEPENDS console)
set(CPACK_DEBIAN_GUI_PACKAGE_SECTION misc)
set(CPACK_COMPONENT_GUI_DESCRIPTION
"window of Annoncia, the classified-ad feed publisher
The window of Annoncia, where an operator picks the portal and starts a run,
or which runs one portal at once and closes itself afterwards.")

include(CPack)
