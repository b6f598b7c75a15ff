# The grid over 100,000 rows.
if(TARGET kx_share)
  kx_add_bench(bench_grid SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_grid.cpp LIBS kx_share)
endif()
