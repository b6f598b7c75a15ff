# Report engine: a 1,000-record master/detail report laid out and written to PDF.
if(TARGET kx_rm)
  kx_add_bench(bench_report SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_report.cpp LIBS kx_rm Qt6::Widgets)
endif()
