# Builds every test program labelled "thread", so that a ThreadSanitizer tree
# can build just those: cmake --build <dir> --target thread_labelled_tests.
add_custom_target(thread_labelled_tests)

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
  if("thread" IN_LIST ARG_LABELS)
    add_dependencies(thread_labelled_tests ${ARG_NAME})
  endif()
  # gtest_discover_tests splits a list-valued property, so the labels travel
  # as one label such as "unit,thread"; ctest -L takes a regular expression,
  # so both -L unit and -L thread select it.
  string(JOIN "," labels unit ${ARG_LABELS})
  gtest_discover_tests(${ARG_NAME}
    WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
    PROPERTIES LABELS "${labels}"
    DISCOVERY_TIMEOUT 60)
endfunction()
