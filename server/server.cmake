# bzykolot2-scores: the score server, on cpp-httplib and SQLite.
find_package(SQLite3 REQUIRED)
find_package(Threads REQUIRED)
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET GLOBAL cpp-httplib)

# Form checking and storage, shared by the server and its tests.
add_library(bzk_scores_server STATIC form.cpp store.cpp)
target_link_libraries(bzk_scores_server PUBLIC bzk_base SQLite::SQLite3)

add_executable(bzykolot2-scores main.cpp)
target_link_libraries(bzykolot2-scores PRIVATE bzk_scores_server PkgConfig::HTTPLIB Threads::Threads)

# This directory is read before the top level includes CTest, so BUILD_TESTING
# is only known (and testing only enabled) once the top level has finished:
# the tests are declared then.
function(bzk_add_server_tests)
  if(BUILD_TESTING)
    find_package(GTest REQUIRED)
    include(GoogleTest)
    add_executable(server_test ${CMAKE_SOURCE_DIR}/tests/server/server_test.cpp)
    target_link_libraries(server_test PRIVATE bzk_scores_server PkgConfig::HTTPLIB
                          Threads::Threads GTest::gtest_main)
    target_compile_definitions(server_test PRIVATE
                               SERVER_BIN="$<TARGET_FILE:bzykolot2-scores>")
    add_dependencies(server_test bzykolot2-scores)
    gtest_discover_tests(server_test
      DISCOVERY_MODE PRE_TEST
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/server
      PROPERTIES TIMEOUT 120
                 ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp")
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL bzk_add_server_tests)
