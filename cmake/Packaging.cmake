# The Debian package: `cpack` in the build folder (scripts/package) makes
# tessaro_<version>_<arch>.deb from the install rules.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessaro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tessaro developers")
set(CPACK_PACKAGE_CONTACT "Tessaro developers <tessaro@kavrotech.example>")
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

# Beside every package Debian keeps its licence, in the machine-readable
# copyright format, and its changelog, compressed. The changelog's newest
# entry is the version being built: a new project version wants its entry.
set(_debian ${CMAKE_CURRENT_LIST_DIR}/debian)
file(STRINGS ${_debian}/changelog _newest LIMIT_COUNT 1)
string(REGEX MATCH "^tessaro \\(([^)]*)\\)" _match "${_newest}")
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "cmake/debian/changelog begins with version '${CMAKE_MATCH_1}', "
                      "the project is ${PROJECT_VERSION}: add an entry for it")
endif()
configure_file(${_debian}/changelog ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog COPYONLY)
execute_process(COMMAND gzip -9nc INPUT_FILE ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog
                OUTPUT_FILE ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog.gz COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${_debian}/copyright ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog.gz
        DESTINATION share/doc/tessaro)

# strip leaves the .comment section, the compiler's version strings, in the
# binaries; a stripped install drops it as well. This runs after the install
# rules of the folders above, so it sees every binary installed so far.
if(CMAKE_OBJCOPY)
  install(CODE "set(_tessaro_objcopy \"${CMAKE_OBJCOPY}\")")
  install(CODE [[
    if(CMAKE_INSTALL_DO_STRIP)
      foreach(_file IN LISTS CMAKE_INSTALL_MANIFEST_FILES)
        set(_file "$ENV{DESTDIR}${_file}")
        if(IS_SYMLINK "${_file}" OR NOT EXISTS "${_file}")
          continue()
        endif()
        file(READ "${_file}" _magic LIMIT 4 HEX)
        if(_magic STREQUAL "7f454c46")
          execute_process(COMMAND "${_tessaro_objcopy}" --remove-section=.comment "${_file}"
                          COMMAND_ERROR_IS_FATAL ANY)
        endif()
      endforeach()
    endif()
  ]])
endif()

# The udev rule takes effect without a reboot; menus, file types and icons
# are refreshed by the triggers of their own packages.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_LIST_DIR}/debian/postinst ${CMAKE_CURRENT_LIST_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
