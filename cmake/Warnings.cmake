# Every target of ours gets the same warnings; vexaro_warnings is linked privately.
add_library(vexaro_warnings INTERFACE)
target_compile_options(vexaro_warnings INTERFACE
  $<$<CXX_COMPILER_ID:GNU,Clang>:-Wall -Wextra -Wpedantic -Wshadow>)
