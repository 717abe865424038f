# quorvane_add_tests(<target> [GUI] LIBS <libs...>)
# Builds one gtest executable from every *.cpp in the calling folder and
# registers its cases with CTest. GUI tests get a QApplication, the others a
# QCoreApplication; both run with the offscreen platform.
function(quorvane_add_tests target)
  cmake_parse_arguments(ARG "GUI" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    message(FATAL_ERROR "${target}: no test sources in ${CMAKE_CURRENT_SOURCE_DIR}")
  endif()
  if(ARG_GUI)
    set(main quorvane_test_main_gui)
  else()
    set(main quorvane_test_main_core)
  endif()
  add_executable(${target} ${sources})
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} ${main} quorvane_test_fixtures
    GTest::gmock GTest::gtest Qt6::Test)
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8")
endfunction()
