# One static library per layer: its sources are every .cpp of the folder but the
# unit tests (*_test.cpp); its unit tests form one GoogleTest program.
function(annoncia_layer name)
  cmake_parse_arguments(L "" "" "DEPS;TEST_DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  if(tests)
    list(REMOVE_ITEM sources ${tests})
  endif()
  add_library(annoncia_${name} STATIC ${sources})
  target_include_directories(annoncia_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(annoncia_${name} PUBLIC ${L_DEPS})
  if(ANNONCIA_TESTS AND tests)
    add_executable(${name}_tests ${tests})
    target_link_libraries(${name}_tests PRIVATE annoncia_${name} annoncia_testsupport ${L_TEST_DEPS}
                          GTest::gtest_main)
    gtest_discover_tests(${name}_tests DISCOVERY_TIMEOUT 60
                         PROPERTIES ENVIRONMENT "ANNONCIA_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  endif()
endfunction()
