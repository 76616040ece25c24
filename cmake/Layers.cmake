# Each layer of src/ is a library whose headers are included with the layer's name in front
# ("bitmap/Bitmap.h", "siemens/ThemeBuild.h"). A library gets an include folder of its own in
# the build tree that holds one link, <layer> -> src/<layer>, so that a file sees the headers of
# exactly the layers it links: including another layer's header without linking it fails to
# compile, and no header of one layer can stand in for another's.
#
#   vexaro_layer_headers(<target> <layer>)
function(vexaro_layer_headers target layer)
  set(root ${PROJECT_BINARY_DIR}/layers/${layer})
  file(MAKE_DIRECTORY ${root})
  if(NOT IS_SYMLINK ${root}/${layer})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${layer} SYMBOLIC)
  endif()
  target_include_directories(${target} PUBLIC ${root})
endfunction()

# vexaro_layer_header(<target> <layer> <header> [PUBLIC]): the one header <layer>/<header> for a
# target that uses it alone (constants, a type) without linking the layer: the target's include
# folder holds a link to that file only, so the layer's other headers stay out of its sight.
# PUBLIC when the target's own headers include it, so that the targets linking it see it too.
function(vexaro_layer_header target layer header)
  set(scope PRIVATE)
  if(ARGN STREQUAL "PUBLIC")
    set(scope PUBLIC)
  endif()
  set(root ${PROJECT_BINARY_DIR}/layers/${target}-${layer})
  file(MAKE_DIRECTORY ${root}/${layer})
  if(NOT IS_SYMLINK ${root}/${layer}/${header})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${layer}/${header} ${root}/${layer}/${header} SYMBOLIC)
  endif()
  target_include_directories(${target} ${scope} ${root})
endfunction()

# The gate's one way round: an include that names its own path out of its folder
# ("../siemens/ThemeBuild.h") is found without any include folder. CheckIncludes.cmake scans
# every C++ file for one as a step of every build, again whenever a file changes.
function(vexaro_check_includes)
  set(folders src tools tests bench fuzz web)
  set(sources)
  foreach(folder IN LISTS folders)
    file(GLOB_RECURSE found CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.cpp ${PROJECT_SOURCE_DIR}/${folder}/*.h)
    list(APPEND sources ${found})
  endforeach()
  string(REPLACE ";" ":" folders "${folders}")
  set(script ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/CheckIncludes.cmake)
  set(stamp ${PROJECT_BINARY_DIR}/includes-checked.stamp)
  add_custom_command(
    OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DROOT=${PROJECT_SOURCE_DIR} -DFOLDERS=${folders} -DSTAMP=${stamp} -P ${script}
    DEPENDS ${sources} ${script}
    COMMENT "Checking that every include goes through the layers' include folders"
    VERBATIM)
  add_custom_target(vexaro_include_check ALL DEPENDS ${stamp})
endfunction()
vexaro_check_includes()
