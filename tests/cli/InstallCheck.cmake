# Installs the build into a fresh prefix and converts two copies of the sample theme at once
# with the installed command line, started through its link in bin/; its --version is the
# project's.
#   cmake -DBUILD=<build dir> -DPREFIX=<fresh folder> -DSAMPLE=<theme> -DVERSION=<version> -P InstallCheck.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${PREFIX}"
                OUTPUT_QUIET RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "cmake --install failed")
endif()

set(expected bin/vexaro-cli bin/bmconv libexec/vexaro/vexaro-cli libexec/vexaro/bmconv.exe
    share/man/man1/vexaro-cli.1.gz share/man/man1/bmconv.1.gz share/doc/vexaro/copyright
    share/bash-completion/completions/vexaro-cli)
if(EXISTS "${PREFIX}/libexec/vexaro/vexaro")
  list(APPEND expected bin/vexaro libexec/vexaro/vexaro-installed share/man/man1/vexaro.1.gz
       share/applications/vexaro.desktop share/icons/hicolor/16x16/apps/vexaro.png
       share/icons/hicolor/256x256/apps/vexaro.png share/icons/hicolor/scalable/apps/vexaro.svg)
endif()
foreach(f ${expected})
  if(NOT EXISTS "${PREFIX}/${f}")
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()

execute_process(COMMAND "${PREFIX}/bin/vexaro-cli" --version OUTPUT_VARIABLE version)
if(NOT version STREQUAL "vexaro-cli (Vexaro) ${VERSION}\n")
  message(FATAL_ERROR "installed vexaro-cli --version says \"${version}\", not version ${VERSION}")
endif()

file(COPY "${SAMPLE}" DESTINATION "${PREFIX}/in")
file(COPY_FILE "${SAMPLE}" "${PREFIX}/in/Second.sis")
get_filename_component(sampleName "${SAMPLE}" NAME_WE)
execute_process(COMMAND "${PREFIX}/bin/vexaro-cli" convert --jobs 2 --out "${PREFIX}/out"
                        "${PREFIX}/in/${sampleName}.sis" "${PREFIX}/in/Second.sis"
                WORKING_DIRECTORY "${PREFIX}" RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "installed vexaro-cli convert failed (${status}):\n${out}${err}")
endif()
foreach(theme ${sampleName} Second)
  foreach(f Siemens/Backgroundimage.mbm Siemens/EidPic.mbm Siemens/Menu_Folders.mbm preview.jpg)
    if(NOT EXISTS "${PREFIX}/out/${theme}/${f}")
      message(FATAL_ERROR "installed vexaro-cli left no ${theme}/${f}:\n${out}${err}")
    endif()
  endforeach()
  # The converter beside the installed command line is the one that runs: none is copied out.
  foreach(f bmconv.exe Nokia Siemens/mbm.txt)
    if(EXISTS "${PREFIX}/out/${theme}/${f}")
      message(FATAL_ERROR "installed vexaro-cli left ${theme}/${f} in its output")
    endif()
  endforeach()
endforeach()
file(REMOVE_RECURSE "${PREFIX}")
message(STATUS "installed and converted:\n${out}")
