# cmake --install: the window program, the command line and the converter, with a desktop entry
# and icon on Linux.
#
# Windows: everything in bin\, the portable way the window expects (it works in its own folder).
# Elsewhere: the programs live together in libexec/vexaro/, so that each finds "bmconv.exe" in its
# own folder, and bin/ holds links to the two that people start. An installed window cannot write
# its own folder and works in the user's data folder instead.
include(GNUInstallDirs)

set(vexaro_programs vexaro-cli bmconv)
if(TARGET vexaro)
  list(APPEND vexaro_programs vexaro)
endif()

if(WIN32)
  install(TARGETS ${vexaro_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
else()
  set(vexaro_private_dir ${CMAKE_INSTALL_LIBEXECDIR}/vexaro)
  install(TARGETS ${vexaro_programs} RUNTIME DESTINATION ${vexaro_private_dir})
  foreach(program vexaro-cli vexaro)
    if(TARGET ${program})
      install(CODE "
        set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
        file(MAKE_DIRECTORY \"\${bin}\")
        file(RELATIVE_PATH target \"\${bin}\" \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${vexaro_private_dir}/${program}\")
        message(STATUS \"Linking: \${bin}/${program} -> \${target}\")
        file(CREATE_LINK \"\${target}\" \"\${bin}/${program}\" SYMBOLIC)")
    endif()
  endforeach()
  if(TARGET vexaro)
    install(FILES ${Vexaro_SOURCE_DIR}/resources/vexaro.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${Vexaro_SOURCE_DIR}/resources/vexaro.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps)
  endif()
endif()
