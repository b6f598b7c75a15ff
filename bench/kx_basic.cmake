# Master-data list: 20,000 rows page by page through the form, and a 1,000-row save.
if(TARGET kx_basic_forms AND TARGET kxservice_core)
  kx_add_bench(bench_masterdata SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_masterdata.cpp
               LIBS kx_basic_forms kxservice_core kx_testsupport kx_cds)
  target_include_directories(bench_masterdata PRIVATE ${CMAKE_SOURCE_DIR}/tests/kxservice)
endif()
# Stock pushed from the stock view for 10,000 SKUs, and rights saves for 50 operators.
if(TARGET kx_basic_forms AND TARGET kxservice_core)
  kx_add_bench(bench_power SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_power.cpp
               LIBS kx_basic_forms kxservice_core kx_testsupport kx_cds)
  target_include_directories(bench_power PRIVATE ${CMAKE_SOURCE_DIR}/tests/kxservice)
endif()
