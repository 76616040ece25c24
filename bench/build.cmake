set(BENCH_LIBS vexaro_build)
