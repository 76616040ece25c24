# Run as a build step (see Layers.cmake):
#   cmake -DROOT=<source folder> -DFOLDERS=<folder>[:<folder>...] -DSTAMP=<file> -P CheckIncludes.cmake
#
# The layer gate (Layers.cmake) works through include folders, so it holds only for includes
# that are looked up there. An include that climbs out of its own folder ("../siemens/X.h") or
# names an absolute path is found without any include folder and walks around the gate; every
# C++ file of the project is scanned for one. A folder in which no file, or no include, is found
# fails too: the scan must have seen the sources it vouches for.
if(NOT ROOT OR NOT FOLDERS OR NOT STAMP)
  message(FATAL_ERROR "CheckIncludes.cmake needs ROOT, FOLDERS and STAMP")
endif()
string(REPLACE ":" ";" folders "${FOLDERS}")
set(offences "")
foreach(folder IN LISTS folders)
  file(GLOB_RECURSE files LIST_DIRECTORIES false "${ROOT}/${folder}/*.cpp" "${ROOT}/${folder}/*.h")
  set(includes 0)
  foreach(file IN LISTS files)
    file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    list(LENGTH lines count)
    math(EXPR includes "${includes} + ${count}")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[\"<]([^\">]*).*$" "\\1" header "${line}")
      if(header MATCHES "(^|[/\\])\\.\\.([/\\]|$)" OR header MATCHES "^([/\\]|[A-Za-z]:)")
        file(RELATIVE_PATH name "${ROOT}" "${file}")
        string(APPEND offences "\n  ${name}: ${line}")
      endif()
    endforeach()
  endforeach()
  if(includes EQUAL 0)
    message(FATAL_ERROR "No include found in the C++ files under ${ROOT}/${folder}: nothing was checked there")
  endif()
endforeach()
if(offences)
  message(FATAL_ERROR "Includes that leave their folder by a path of their own, around the layer gate "
                      "(include a layer's header as \"layer/Header.h\" and link that layer):${offences}")
endif()
file(TOUCH "${STAMP}")
