# bench_mbm: the MBM library and the converter run functions; it also spawns the built bmconv.exe.
set(BENCH_LIBS vexaro_converter_lib vexaro_mbm vexaro_bitmap vexaro_mbm_bench_data)
set(BENCH_DEPENDS bmconv)
