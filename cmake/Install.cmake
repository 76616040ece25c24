# cmake --install: the window program, the command line and the converter; elsewhere than on
# Windows also their manual pages, the desktop entry, icons and AppStream metadata, and the
# licences. The Debian package (Package.cmake) is made of exactly this.
#
# Windows: everything in bin\, the portable way the window expects (it works in its own folder).
# Elsewhere: the programs live together in libexec/vexaro/, so that each finds "bmconv.exe" in its
# own folder, and bin/ holds links to them (bin/bmconv to bmconv.exe). Beside them, the file
# "vexaro-installed" tells the window that it is installed: it then works in the user's data
# folder, never in its own.
include(GNUInstallDirs)

set(vexaro_programs vexaro-cli bmconv)
if(TARGET vexaro)
  list(APPEND vexaro_programs vexaro)
endif()

if(WIN32)
  install(TARGETS ${vexaro_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  return()
endif()

set(vexaro_private_dir ${CMAKE_INSTALL_LIBEXECDIR}/vexaro)
install(TARGETS ${vexaro_programs} RUNTIME DESTINATION ${vexaro_private_dir})
foreach(program ${vexaro_programs})
  get_target_property(file ${program} OUTPUT_NAME)
  get_target_property(suffix ${program} SUFFIX)
  if(NOT file)
    set(file ${program})
  endif()
  if(suffix)
    string(APPEND file ${suffix})
  endif()
  install(CODE "
    set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(MAKE_DIRECTORY \"\${bin}\")
    file(RELATIVE_PATH target \"\${bin}\" \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${vexaro_private_dir}/${file}\")
    message(STATUS \"Linking: \${bin}/${program} -> \${target}\")
    file(CREATE_LINK \"\${target}\" \"\${bin}/${program}\" SYMBOLIC)")
endforeach()

if(VEXARO_MAN_PAGES)
  install(FILES ${VEXARO_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

if(TARGET vexaro)
  install(FILES ${Vexaro_SOURCE_DIR}/resources/vexaro-installed DESTINATION ${vexaro_private_dir})
  install(FILES ${Vexaro_SOURCE_DIR}/resources/vexaro.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${Vexaro_SOURCE_DIR}/resources/icons/vexaro-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME vexaro.png)
  endforeach()
  install(FILES ${Vexaro_SOURCE_DIR}/resources/icons/vexaro.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  configure_file(${Vexaro_SOURCE_DIR}/resources/vexaro.metainfo.xml.in
                 ${PROJECT_BINARY_DIR}/${VEXARO_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${VEXARO_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

# The licences, in the one file that Debian's packages keep them in, and the change log in
# Debian's form.
file(READ ${Vexaro_SOURCE_DIR}/LICENSE vexaro_licence)
file(READ ${Vexaro_SOURCE_DIR}/THIRD-PARTY vexaro_third_party)
file(WRITE ${PROJECT_BINARY_DIR}/doc/copyright.new "${vexaro_licence}\n\n${vexaro_third_party}")
file(COPY_FILE ${PROJECT_BINARY_DIR}/doc/copyright.new ${PROJECT_BINARY_DIR}/doc/copyright ONLY_IF_DIFFERENT)
configure_file(${Vexaro_SOURCE_DIR}/packaging/debian/changelog.in ${PROJECT_BINARY_DIR}/doc/changelog @ONLY)
execute_process(COMMAND gzip -9nf ${PROJECT_BINARY_DIR}/doc/changelog COMMAND_ERROR_IS_FATAL ANY)
set(vexaro_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/vexaro)
install(FILES ${PROJECT_BINARY_DIR}/doc/copyright ${PROJECT_BINARY_DIR}/doc/changelog.gz DESTINATION ${vexaro_doc_dir})
