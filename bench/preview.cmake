# The preview benchmark paints its theme with the tests' theme painter, built here on its own so
# that the benchmark does not need the test programs.
if(NOT TARGET vexaro_theme_painter)
  add_library(vexaro_theme_painter STATIC ${PROJECT_SOURCE_DIR}/tests/support/ThemePainter.cpp)
  target_include_directories(vexaro_theme_painter PUBLIC ${PROJECT_SOURCE_DIR}/tests/support)
  target_link_libraries(vexaro_theme_painter PUBLIC vexaro_tool vexaro_bitmap PRIVATE vexaro_warnings)
endif()
set(BENCH_LIBS vexaro_preview vexaro_theme_painter)
