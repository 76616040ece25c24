# The Debian packages, made by CPack's DEB generator from the install rules (Install.cmake), one
# per install component, so that `cmake --install` and the packages hold the same files:
#   vexaro-cli_<version>_<arch>.deb  the command line and the converter (component "cli", no Qt)
#   vexaro_<version>_<arch>.deb      the window, depending on vexaro-cli (component "window")
#   cpack --config <build>/CPackConfig.cmake        (./run package does this)
# Each depends on the libraries that dpkg-shlibdeps finds its programs linked against.
if(WIN32)
  return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vexaro)
set(CPACK_PACKAGE_VERSION ${Vexaro_VERSION})
set(CPACK_PACKAGE_VENDOR "The Vexaro developers")
set(CPACK_PACKAGE_CONTACT "${VEXARO_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
if(VEXARO_HOMEPAGE_URL)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${VEXARO_HOMEPAGE_URL}")
endif()
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(vexaro_about
    "Vexaro opens a theme made for Nokia phones, a Symbian .sis package or
its .mbm multi-bitmap file, unpacks every bitmap in it and builds the three
theme files of a Siemens phone from them, with a preview of the Siemens screen.
.")
set(CPACK_DEBIAN_CLI_PACKAGE_NAME vexaro-cli)
set(CPACK_COMPONENT_CLI_DESCRIPTION
    "convert Nokia phone themes into Siemens phone themes (command line)
${vexaro_about}
This package holds the command line vexaro-cli, which converts whole themes
several at a time, and the multi-bitmap converter bmconv.")
set(CPACK_COMPONENTS_ALL cli)
if(TARGET vexaro)
  set(CPACK_DEBIAN_WINDOW_PACKAGE_NAME vexaro)
  set(CPACK_COMPONENT_WINDOW_DESCRIPTION
      "convert Nokia phone themes into Siemens phone themes (window)
${vexaro_about}
This package holds the window program vexaro.")
  set(CPACK_COMPONENT_WINDOW_DEPENDS cli)
  list(APPEND CPACK_COMPONENTS_ALL window)
endif()
include(CPack)
