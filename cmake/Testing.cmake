# novel_add_test(NAME name SOURCES ... LIBS ... [LABELS ...])
# Builds one GoogleTest program and registers each of its tests with CTest.
# Every test carries the label "unit" plus those given, so that a sanitizer
# tree can run a chosen group (ctest -L thread).
function(novel_add_test)
  cmake_parse_arguments(ARG "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock
                                            novel_warnings)
  target_include_directories(${ARG_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  gtest_discover_tests(${ARG_NAME}
    WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
    PROPERTIES LABELS "unit;${ARG_LABELS}"
    DISCOVERY_TIMEOUT 60)
endfunction()
