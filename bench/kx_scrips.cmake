# Stock documents: the receipt list of a seller with 10,000 receipts loaded page by page, and a
# 500-line receipt saved, with the client's and the service's shares of the time.
if(TARGET kx_scrips_forms AND TARGET kxservice_core)
  kx_add_bench(bench_receipt SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_receipt.cpp
               LIBS kx_scrips_forms kxservice_core kx_testsupport kx_cds)
  target_include_directories(bench_receipt PRIVATE ${CMAKE_SOURCE_DIR}/tests/kxservice)
endif()
