# The Debian package, built by CPack from the install rules:
#   cmake --build --preset default && (cd build/default && cpack -G DEB)
# gives build/default/vxorv_<version>_<arch>.deb with the program, vxbt, the
# link library and its header, the desktop entries, the icon and the
# documentation. Dependencies come from the binaries (dpkg-shlibdeps).

set(CPACK_PACKAGE_NAME "vxorv")
set(CPACK_PACKAGE_VENDOR "VXORV project")
set(CPACK_PACKAGE_CONTACT "VXORV project <vxorv@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keyboard wedge for serial and Bluetooth scanners")
set(CPACK_PACKAGE_DESCRIPTION
    "VXORV receives what a handheld scanner or data terminal sends over a serial\n"
    "cable or a Bluetooth serial link and types it, as if on the keyboard, into\n"
    "the application that has the focus. It sits in the notification area and\n"
    "starts at login. The package also holds vxbt, a command-line companion that\n"
    "checks a machine for VXORV (vxbt doctor) and plays the scanner, and the\n"
    "winvxbt link protocol library with its C header.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_GENERATOR "DEB")
set(CPACK_STRIP_FILES ON)
# Install with DESTDIR and the prefix /usr, so that the install writes the
# desktop entries for /usr and puts the autostart entry in /etc.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX "/usr")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
    "${CMAKE_BINARY_DIR}/library")
# Without these VXORV still runs, but types only into X11 windows or not at all
# in a Wayland session, and shows no icon on a desktop without a notification area.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gnome-shell-extension-appindicator")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
# The autostart entry in /etc is the administrator's to change or remove.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${PROJECT_SOURCE_DIR}/packaging/debian/conffiles")

# What Debian asks of every package's documentation folder: the copyright
# file and the changelog, compressed to the maximum and without a time stamp.
set(vxorv_changelog "${CMAKE_BINARY_DIR}/packaging/changelog.gz")
file(MAKE_DIRECTORY "${CMAKE_BINARY_DIR}/packaging")
execute_process(COMMAND gzip -9nc "${PROJECT_SOURCE_DIR}/packaging/debian/changelog"
                OUTPUT_FILE "${vxorv_changelog}" COMMAND_ERROR_IS_FATAL ANY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             "${PROJECT_SOURCE_DIR}/packaging/debian/changelog")
install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright "${vxorv_changelog}"
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

include(CPack)
