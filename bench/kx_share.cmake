# The grid over 100,000 rows.
if(TARGET kx_share)
  kx_add_bench(bench_grid SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_grid.cpp LIBS kx_share)
  # The category tree of 2,000 nodes beside the catalogue lists.
  kx_add_bench(bench_category_tree SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_category_tree.cpp LIBS kx_share)
endif()
