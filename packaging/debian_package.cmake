# The Debian package (scripts/package.sh): CPack's DEB generator on the normal install rules, plus what
# Debian asks of every package (compressed manual page and changelog, a copyright file, stripped binary).
include(GNUInstallDirs)
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/vemrok-alarm)
set(changelog_gz ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz)
add_custom_command(OUTPUT ${changelog_gz}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND gzip -9n -c ${CMAKE_CURRENT_LIST_DIR}/changelog.Debian > ${changelog_gz}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog.Debian
  VERBATIM)
add_custom_target(vemrok_package_docs ALL DEPENDS ${changelog_gz})
install(FILES ${changelog_gz} ${CMAKE_CURRENT_LIST_DIR}/copyright DESTINATION ${doc_dir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vemrok-alarm)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "VemrokAlarm developer <dev@vemrok.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "CW spot alarm for the Reverse Beacon Network and DX clusters")
set(CPACK_PACKAGE_DESCRIPTION
  "VemrokAlarm keeps a telnet connection to a Reverse Beacon Network spot server
or a DX cluster and alarms - an always-on-top pop-up and a sound - when a
callsign from the operator's alarm list, or a portable station, is spotted in
telegraphy (CW). It shows the spots that pass the operator's band and speed
switches, keeps an activity table of the watched calls and a table of the last
portable alarms.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://vemrok.invalid/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# On top of dpkg-shlibdeps' list (Debian 12 ships Qt's X11 platform plugin in libqt6gui6, and Qt 6.4
# plays a QSoundEffect through libpulse, not GStreamer): the fonts the window layout is measured in, and
# the sound server the desktop normally runs; the country file the calls are resolved by.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2, hamradio-files")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse")
include(CPack)
