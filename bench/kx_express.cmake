# Marketplace orders: the order list of a seller with 100,000 orders, and 10,000 orders
# downloaded from the simulated marketplace through the download dialog.
if(TARGET kxservice_core AND TARGET kx_express_forms)
  kx_add_bench(bench_trade SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_trade.cpp LIBS kxservice_core kx_express_forms kx_testsupport kx_cds)
  target_include_directories(bench_trade PRIVATE ${CMAKE_SOURCE_DIR}/tests/kxservice)
endif()
# Orders to picking lists: 1,000 ticked orders turned into merged picking lists in one call.
if(TARGET kxservice_core AND TARGET kx_express_forms)
  kx_add_bench(bench_trade_pick SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_trade_pick.cpp LIBS kxservice_core kx_express_forms kx_testsupport kx_cds)
  target_include_directories(bench_trade_pick PRIVATE ${CMAKE_SOURCE_DIR}/tests/kxservice)
endif()
# Picking lists: 1,000 audited in one batch, 500 given numbers and shipped to the marketplace.
if(TARGET kxservice_core AND TARGET kx_express_forms)
  kx_add_bench(bench_picking SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_picking.cpp LIBS kxservice_core kx_express_forms kx_testsupport kx_cds)
  target_include_directories(bench_picking PRIVATE ${CMAKE_SOURCE_DIR}/tests/kxservice)
endif()
# Waybills: 500 picking lists printed from a designed template into a PDF file.
if(TARGET kx_express_forms)
  kx_add_bench(bench_waybill SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_waybill.cpp LIBS kx_express_forms kx_testsupport kx_cds)
endif()
