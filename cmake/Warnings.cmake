# Every target of ours gets the same warnings; vexaro_warnings is linked privately.
# VEXARO_WERROR turns them into errors (on in every preset, so that none slips in).
option(VEXARO_WERROR "Treat compiler warnings as errors" OFF)
add_library(vexaro_warnings INTERFACE)
target_compile_options(vexaro_warnings INTERFACE
  $<$<CXX_COMPILER_ID:GNU,Clang>:-Wall -Wextra -Wpedantic -Wshadow>
  $<$<AND:$<BOOL:${VEXARO_WERROR}>,$<CXX_COMPILER_ID:GNU,Clang>>:-Werror>)
