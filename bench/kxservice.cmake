# The service: small calls per second beside a bare cpp-httplib handler, and a 1,000-row page.
if(TARGET kxservice_core)
  kx_add_bench(bench_service SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_service.cpp
               LIBS kxservice_core kx_utils PkgConfig::HTTPLIB)
endif()
# Stock documents at the service: a 500-line transfer saved and audited.
if(TARGET kxservice_core)
  kx_add_bench(bench_docs SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_docs.cpp LIBS kxservice_core kx_testsupport kx_cds)
  target_include_directories(bench_docs PRIVATE ${CMAKE_SOURCE_DIR}/tests/kxservice)
endif()
# The HTTP front: small calls with 500 idle and 50 slowloris connections held open, and the
# memory and writer wait of a 30 MB delta (against the kxservice program).
if(TARGET kxservice_core)
  kx_add_bench(bench_front SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_front.cpp
               LIBS kxservice_core kx_utils kx_cds PkgConfig::HTTPLIB)
  add_dependencies(bench_front kxservice)
endif()
# The stocktake at the service: freeze, summary and adjustment of 50,000 products.
if(TARGET kxservice_core)
  kx_add_bench(bench_stocktake SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_stocktake.cpp LIBS kxservice_core kx_testsupport kx_cds)
  target_include_directories(bench_stocktake PRIVATE ${CMAKE_SOURCE_DIR}/tests/kxservice)
endif()
# Goods at the service: 10,000 items with 50,000 SKUs downloaded, and the 50,000-product list.
if(TARGET kxservice_core)
  kx_add_bench(bench_goods SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_goods.cpp LIBS kxservice_core kx_testsupport kx_cds)
  target_include_directories(bench_goods PRIVATE ${CMAKE_SOURCE_DIR}/tests/kxservice)
endif()
# Refunds at the service: 2,000 refunds downloaded, 500 finished ones turned into return receipts.
if(TARGET kxservice_core)
  kx_add_bench(bench_refund SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_refund.cpp LIBS kxservice_core kx_testsupport kx_cds)
  target_include_directories(bench_refund PRIVATE ${CMAKE_SOURCE_DIR}/tests/kxservice)
endif()
# The home tab's figures at the service: one call counting 100,000 orders and 20,000 picking lists.
if(TARGET kxservice_core)
  kx_add_bench(bench_workbench SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_workbench.cpp LIBS kxservice_core kx_testsupport kx_cds)
  target_include_directories(bench_workbench PRIVATE ${CMAKE_SOURCE_DIR}/tests/kxservice)
endif()

# What the history costs a 500-line save (with and without it, in turn).
if(TARGET kxservice_core)
  kx_add_bench(bench_history SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_history.cpp LIBS kxservice_core kx_testsupport kx_cds)
  target_include_directories(bench_history PRIVATE ${CMAKE_SOURCE_DIR}/tests/kxservice)
endif()
