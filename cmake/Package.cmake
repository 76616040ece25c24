# The Debian package vexaro_<version>_<arch>.deb, made by CPack's DEB generator from the install
# rules (Install.cmake), so that `cmake --install` and the package hold the same files:
#   cpack --config <build>/CPackConfig.cmake        (./run package does this)
# The package depends on the libraries that dpkg-shlibdeps finds the programs linked against.
if(WIN32)
  return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vexaro)
set(CPACK_PACKAGE_VERSION ${Vexaro_VERSION})
set(CPACK_PACKAGE_VENDOR "The Vexaro developers")
set(CPACK_PACKAGE_CONTACT "${VEXARO_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert Nokia phone themes into Siemens phone themes")
set(CPACK_PACKAGE_DESCRIPTION
    "Vexaro opens a theme made for Nokia phones, a Symbian .sis package or
its .mbm multi-bitmap file, unpacks every bitmap in it and builds the three
theme files of a Siemens phone from them, with a preview of the Siemens screen.
.
The package holds the window program vexaro, the command line vexaro-cli,
which converts whole themes several at a time, and the multi-bitmap
converter bmconv.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${VEXARO_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
