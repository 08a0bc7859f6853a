# The Debian package of the host tool: qev, the stub it packs installers with
# and the manual page, as `cmake --install` lays them out under /usr.
# scripts/package.sh builds everything it needs and runs cpack.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qev)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "builds, lists, tests and extracts QEV archives and self-extracting installers")
set(CPACK_PACKAGE_DESCRIPTION
    "qev packs a folder into a QEV archive or into a self-extracting Windows\ninstaller (a small stub with the archive appended), and lists, tests and\nextracts such archives with the installer's own code. The stub is included.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Lumetra installer team <installer@lumetra.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
include(CPack)
