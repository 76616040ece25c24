set(BENCH_LIBS vexaro_resize)
