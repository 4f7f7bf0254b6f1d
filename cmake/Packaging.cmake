# The Debian package: `cpack` in the build folder (scripts/package) makes
# tessaro_<version>_<arch>.deb from the install rules.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessaro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tessaro developers")
set(CPACK_PACKAGE_CONTACT "Tessaro developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "set up the KAVR lift emergency communicator")
set(CPACK_PACKAGE_DESCRIPTION
    "Tessaro reads the parameter set of a KAVR lift emergency communicator over a
serial port or the KAVR USB programming cable, checks and edits it, writes it
back, keeps it in .kvr settings files, prints it and plays samples of the
tones the communicator sends down the line.

The package holds the program with its menu entry, icons and file type, the
command-line tool when built, the communicator simulator, and the udev rule
that lets the user at the local seat open the USB cable.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Library dependencies come from the binaries (dpkg-shlibdeps); the launcher
# needs only essential tools (coreutils, util-linux).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own dialog texts in the chosen language; the shell open of help
# pages and mail links.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-qpa-plugins, qt6-translations-l10n, xdg-utils")
set(CPACK_STRIP_FILES ON)
# The udev rule takes effect without a reboot; menus, file types and icons
# are refreshed by the triggers of their own packages.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_LIST_DIR}/debian/postinst ${CMAKE_CURRENT_LIST_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
