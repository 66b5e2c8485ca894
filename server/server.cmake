# bzykolot2-scores: the score server, on libmicrohttpd, with SQLite or PostgreSQL.
find_package(SQLite3 REQUIRED)
find_package(Threads REQUIRED)
pkg_check_modules(MHD REQUIRED IMPORTED_TARGET libmicrohttpd)
pkg_check_modules(PQ REQUIRED IMPORTED_TARGET libpq)
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET GLOBAL cpp-httplib)

# Form checking, storage, checking recordings and the HTTP side, shared by the
# server, its tests and the load tool.
add_library(bzk_scores_server STATIC
  form.cpp log.cpp limits.cpp head.cpp gate.cpp store.cpp sqlitestore.cpp pgstore.cpp scorebook.cpp web.cpp
  upload.cpp checker.cpp page.cpp admin.cpp fdio.cpp)
# The rounds are played with the game's own rules.
target_link_libraries(bzk_scores_server PUBLIC bzk_world SQLite::SQLite3 PkgConfig::MHD PkgConfig::PQ
                      Threads::Threads)

# The installed game data, checked against unless --data says otherwise.
include(GNUInstallDirs)
target_compile_definitions(bzk_scores_server PUBLIC
  BZK_DATA_DIR="${CMAKE_INSTALL_FULL_DATADIR}/games/bzykolot2/data")

add_executable(bzykolot2-scores main.cpp)
target_link_libraries(bzykolot2-scores PRIVATE bzk_scores_server)

# This directory is read before the top level includes CTest, so BUILD_TESTING
# is only known (and testing only enabled) once the top level has finished:
# the tests are declared then.
function(bzk_add_server_tests)
  if(BUILD_TESTING)
    include(${CMAKE_SOURCE_DIR}/tests/server/server_tests.cmake)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL bzk_add_server_tests)
