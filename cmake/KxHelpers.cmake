# kx_add_qtest(name SOURCES ... LIBS ...): one QtTest program registered with CTest.
# Tests run headless (offscreen platform) from the program folder so that relative
# files (bpl/, rmf/, ...) resolve as in the installed client.
# The shared test support (tests/support, the kx_testsupport target): a test or benchmark may
# name its headers among its sources from any folder.
set(KX_TEST_SUPPORT_DIR ${CMAKE_SOURCE_DIR}/tests/support)
function(_kx_support_sources out)
  set(_list)
  foreach(_s ${ARGN})
    if(NOT IS_ABSOLUTE ${_s} AND NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${_s} AND EXISTS ${KX_TEST_SUPPORT_DIR}/${_s})
      set(_s ${KX_TEST_SUPPORT_DIR}/${_s})
    endif()
    list(APPEND _list ${_s})
  endforeach()
  set(${out} ${_list} PARENT_SCOPE)
endfunction()

function(kx_add_qtest name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  _kx_support_sources(_sources ${T_SOURCES})
  add_executable(${name} ${_sources})
  target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    LABELS "${T_LABELS}"
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;KX_SOURCE_DIR=${CMAKE_SOURCE_DIR};KX_BIN_DIR=${KX_BIN_DIR}")
endfunction()

# kx_add_bench(name SOURCES ... LIBS ...): a benchmark program run by `./kx bench`.
function(kx_add_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  _kx_support_sources(_sources ${B_SOURCES})
  add_executable(${name} ${_sources})
  target_link_libraries(${name} PRIVATE ${B_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endfunction()

# kx_pack_report_templates(target DIR folder): the readable report templates folder/*.xml,
# packed with the engine's own packer (kx_rmfpack) into bin/rmf/<name>.rmf; `target` builds
# them all and is part of the default build.
function(kx_pack_report_templates target)
  cmake_parse_arguments(R "" "DIR" "" ${ARGN})
  file(GLOB _sources ${R_DIR}/*.xml)
  set(_outputs)
  foreach(_src ${_sources})
    get_filename_component(_name ${_src} NAME_WE)
    set(_out ${KX_BIN_DIR}/rmf/${_name}.rmf)
    add_custom_command(
      OUTPUT ${_out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${KX_BIN_DIR}/rmf
      COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:kx_rmfpack> ${_src} ${_out}
      DEPENDS kx_rmfpack ${_src}
      COMMENT "Packing report template ${_name}.rmf")
    list(APPEND _outputs ${_out})
  endforeach()
  add_custom_target(${target} ALL DEPENDS ${_outputs})
endfunction()
