# `cmake --build build --target package`: a Debian package of the three
# programs, with Depends worked out by dpkg-shlibdeps from the binaries.
set(TA_PACKAGE_CONTACT "ISDN TA Utility maintainers <maintainers@example.org>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tautil)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${TA_PACKAGE_CONTACT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configuration utility for ISDN terminal adapters")
set(CPACK_PACKAGE_DESCRIPTION "\
Reads the settings of an ISDN terminal adapter (TA) driven with AT commands
over a serial port, edits them in a tree of settings pages, keeps them as
profile files and writes them back; calls a remote TA to configure it and
uploads firmware. tautil is the graphical program, tactl its command-line
companion for scripts, tasim a simulated TA on a pseudo-terminal.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# dpkg-shlibdeps sees the libraries only; the GUI needs a Qt platform plugin too.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# The menu, MIME and icon caches are refreshed by the triggers of the
# packages that own them; the package needs no maintainer scripts.

include(CPack)
