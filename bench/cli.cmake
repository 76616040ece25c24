set(BENCH_LIBS vexaro_bitmap)
set(BENCH_DEFINES VEXARO_CLI="$<TARGET_FILE:vexaro-cli>" VEXARO_SAMPLE_THEME="${VEXARO_SAMPLE_THEME}")
set(BENCH_DEPENDS vexaro-cli sample_theme)
