# Running the service for real: a backup of 100,000 receipts under a writer, small calls over TLS.
if(TARGET kxservice_core)
  kx_add_bench(bench_ops SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_ops.cpp LIBS kxservice_core kx_utils kx_testsupport kx_cds PkgConfig::HTTPLIB)
  target_include_directories(bench_ops PRIVATE ${CMAKE_SOURCE_DIR}/tests/kxservice)
endif()
