# `make package`: one Debian package of the component "program", built by CPack. Its
# library dependencies are read from the binaries by dpkg-shlibdeps; only what no binary
# links shows up by hand below, each with its reason.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME scanner-utility)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Scanner Utility developers")
set(CPACK_PACKAGE_CONTACT "Scanner Utility developers <scanner-utility@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "one-click scanning to an application, a folder or a fax")
set(CPACK_PACKAGE_DESCRIPTION_FILE ${PROJECT_SOURCE_DIR}/packaging/description.txt)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_SET_DESTDIR OFF)
# Only the program: nothing the tests or benchmarks might install.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};program;/")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Opened by name rather than linked, so dpkg-shlibdeps cannot see them: Qt's window-system
# plugins (the window cannot start without one) and the print system's library (fax).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libcups2")
# The file manager and the desktop's default applications are reached through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "scanbd")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://scanner-utility.example.org/")
include(CPack)
