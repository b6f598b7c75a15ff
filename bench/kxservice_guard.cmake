# A 30 MB master-data save beside another writer on SQLite: how long the other writer waits.
if(TARGET kxservice_core)
  kx_add_bench(bench_bigdelta SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_bigdelta.cpp
               LIBS kxservice_core kx_testsupport kx_cds)
  target_include_directories(bench_bigdelta PRIVATE ${CMAKE_SOURCE_DIR}/tests/kxservice)
endif()
