# The checker: recorded rounds played again with the rules alone (no SDL), and
# a bot that plays rounds for the tests. Included by tools/CMakeLists.txt, and
# alone by a CHECKER_ONLY build.
include(GNUInstallDirs)
add_executable(bzykolot2-replay ${CMAKE_CURRENT_LIST_DIR}/replay.cpp ${CMAKE_CURRENT_LIST_DIR}/bot.cpp)
target_link_libraries(bzykolot2-replay PRIVATE bzk_world)
target_compile_definitions(bzykolot2-replay PRIVATE
  BZK_DATA_DIR="${CMAKE_INSTALL_FULL_DATADIR}/games/bzykolot2/data")
