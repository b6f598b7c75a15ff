# Client data set: loading a 100,000-row answer against a plain pugixml floor.
kx_add_bench(bench_dataset_load
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_dataset_load.cpp
  LIBS kx_cds pugixml::pugixml ZLIB::ZLIB Qt6::Core)
