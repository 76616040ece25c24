# The manual pages vexaro-cli(1), bmconv(1) and vexaro(1), written at build time from each
# program's own --help (see ManPage.cmake) and the hand-written sections in packaging/man/.
# Their compressed files land in <build>/man/, which Install.cmake installs.
include(CMakeDependentOption)
cmake_dependent_option(VEXARO_MANPAGES "Write the manual pages with help2man" ON "NOT CMAKE_CROSSCOMPILING;NOT WIN32" OFF)
if(NOT VEXARO_MANPAGES)
  return()
endif()
find_program(VEXARO_HELP2MAN help2man)
if(NOT VEXARO_HELP2MAN)
  message(FATAL_ERROR "help2man not found: install Debian's help2man (or set VEXARO_MANPAGES=OFF)")
endif()

set(VEXARO_MAN_PAGES)
# vexaro_man_page(<target> <page name> [SUBCOMMANDS])
function(vexaro_man_page target name)
  set(page ${PROJECT_BINARY_DIR}/man/${name}.1.gz)
  set(include ${PROJECT_SOURCE_DIR}/packaging/man/${name}.h2m)
  set(subcommands OFF)
  if("SUBCOMMANDS" IN_LIST ARGN)
    set(subcommands ON)
  endif()
  add_custom_command(
    OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND ${CMAKE_COMMAND} -DHELP2MAN=${VEXARO_HELP2MAN} -DPROGRAM=$<TARGET_FILE:${target}> -DINCLUDE=${include} -DOUT=${page}
            -DSUBCOMMANDS=${subcommands} -P ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
    DEPENDS ${target} ${include} ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
    COMMENT "Writing the manual page ${name}(1)"
    VERBATIM)
  set(VEXARO_MAN_PAGES ${VEXARO_MAN_PAGES} ${page} PARENT_SCOPE)
endfunction()

vexaro_man_page(vexaro-cli vexaro-cli SUBCOMMANDS)
vexaro_man_page(bmconv bmconv)
if(TARGET vexaro)
  vexaro_man_page(vexaro vexaro)
endif()
add_custom_target(man_pages ALL DEPENDS ${VEXARO_MAN_PAGES})
