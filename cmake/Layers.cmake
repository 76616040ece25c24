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
