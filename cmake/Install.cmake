# cmake --install: the window program, the command line and the converter; elsewhere than on
# Windows also their manual pages, the command line's bash completion, the desktop entry, icons
# and AppStream metadata, and the licences. The Debian package (Package.cmake) is made of exactly
# this.
#
# Windows: everything in bin\, the portable way the window expects (it works in its own folder).
# Elsewhere: the programs live together in libexec/vexaro/, so that each finds "bmconv.exe" in its
# own folder, and bin/ holds links to them (bin/bmconv to bmconv.exe). Beside them, the file
# "vexaro-installed" tells the window that it is installed: it then works in the user's data
# folder, never in its own.
#
# Two components, which the Debian packages follow: "cli" (vexaro-cli and bmconv, with no Qt)
# and "window" (vexaro and what the desktop needs of it).
include(GNUInstallDirs)

set(vexaro_programs vexaro-cli bmconv)
if(TARGET vexaro)
  list(APPEND vexaro_programs vexaro)
endif()
function(vexaro_component var program)
  if(program STREQUAL "vexaro")
    set(${var} window PARENT_SCOPE)
  else()
    set(${var} cli PARENT_SCOPE)
  endif()
endfunction()

if(WIN32)
  foreach(program ${vexaro_programs})
    vexaro_component(component ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${component})
  endforeach()
  return()
endif()

set(vexaro_private_dir ${CMAKE_INSTALL_LIBEXECDIR}/vexaro)
foreach(program ${vexaro_programs})
  vexaro_component(component ${program})
  install(TARGETS ${program} RUNTIME DESTINATION ${vexaro_private_dir} COMPONENT ${component})
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
    file(CREATE_LINK \"\${target}\" \"\${bin}/${program}\" SYMBOLIC)"
    COMPONENT ${component})
endforeach()

# Bash completes the command line's commands, options and theme files.
install(FILES ${Vexaro_SOURCE_DIR}/resources/vexaro-cli.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME vexaro-cli COMPONENT cli)

foreach(page ${VEXARO_MAN_PAGES})
  get_filename_component(name ${page} NAME)
  string(REGEX REPLACE "\\.1\\.gz$" "" name ${name})
  vexaro_component(component ${name})
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
endforeach()

if(TARGET vexaro)
  set(data ${CMAKE_INSTALL_DATADIR})
  install(FILES ${Vexaro_SOURCE_DIR}/resources/vexaro-installed DESTINATION ${vexaro_private_dir} COMPONENT window)
  install(FILES ${Vexaro_SOURCE_DIR}/resources/vexaro.desktop DESTINATION ${data}/applications COMPONENT window)
  # The type of .mbm files, which the desktop entry names and the shared MIME database lacks.
  install(FILES ${Vexaro_SOURCE_DIR}/resources/vexaro.mime.xml DESTINATION ${data}/mime/packages RENAME vexaro.xml
          COMPONENT window)
  foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${Vexaro_SOURCE_DIR}/resources/icons/vexaro-${size}.png
            DESTINATION ${data}/icons/hicolor/${size}x${size}/apps RENAME vexaro.png COMPONENT window)
  endforeach()
  install(FILES ${Vexaro_SOURCE_DIR}/resources/icons/vexaro.svg DESTINATION ${data}/icons/hicolor/scalable/apps
          COMPONENT window)
  set(VEXARO_METAINFO_URL "")
  if(VEXARO_HOMEPAGE_URL)
    set(VEXARO_METAINFO_URL "\n  <url type=\"homepage\">${VEXARO_HOMEPAGE_URL}</url>")
  endif()
  configure_file(${Vexaro_SOURCE_DIR}/resources/vexaro.metainfo.xml.in
                 ${PROJECT_BINARY_DIR}/${VEXARO_APPSTREAM_ID}.metainfo.xml @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${VEXARO_APPSTREAM_ID}.metainfo.xml DESTINATION ${data}/metainfo COMPONENT window)
endif()

# The licences, in the one file that Debian's packages keep them in, and the change log in
# Debian's form.
file(READ ${Vexaro_SOURCE_DIR}/LICENSE vexaro_licence)
file(READ ${Vexaro_SOURCE_DIR}/THIRD-PARTY vexaro_third_party)
file(WRITE ${PROJECT_BINARY_DIR}/doc/copyright.new "${vexaro_licence}\n\n${vexaro_third_party}")
file(COPY_FILE ${PROJECT_BINARY_DIR}/doc/copyright.new ${PROJECT_BINARY_DIR}/doc/copyright ONLY_IF_DIFFERENT)
configure_file(${Vexaro_SOURCE_DIR}/packaging/debian/changelog.in ${PROJECT_BINARY_DIR}/doc/changelog @ONLY)
execute_process(COMMAND gzip -9nf ${PROJECT_BINARY_DIR}/doc/changelog COMMAND_ERROR_IS_FATAL ANY)
# Each package keeps them under its own name.
foreach(program ${vexaro_programs})
  if(NOT program STREQUAL "bmconv")
    vexaro_component(component ${program})
    install(FILES ${PROJECT_BINARY_DIR}/doc/copyright ${PROJECT_BINARY_DIR}/doc/changelog.gz
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${program} COMPONENT ${component})
  endif()
endforeach()
