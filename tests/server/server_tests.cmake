# The score server's tests, run once against SQLite and once against a
# throw-away PostgreSQL cluster that a fixture starts before and stops after.
find_package(GTest REQUIRED)
include(GoogleTest)
add_executable(server_test ${CMAKE_SOURCE_DIR}/tests/server/server_test.cpp)
target_link_libraries(server_test PRIVATE bzk_scores_server PkgConfig::HTTPLIB GTest::gtest_main)
# Recordings are played against the build's packs; the bot makes long rounds.
target_compile_definitions(server_test PRIVATE SERVER_BIN="$<TARGET_FILE:bzykolot2-scores>"
  RUN_DATA="${RUN_DIR}/data" BOT_BIN="$<TARGET_FILE:bzykolot2-replay>")
add_dependencies(server_test bzykolot2-scores bzykolot2-replay packs)

set(pg_state ${CMAKE_BINARY_DIR}/pg)
add_test(NAME pg_cluster_start COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/pgcluster.sh start ${pg_state})
add_test(NAME pg_cluster_stop COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/pgcluster.sh stop ${pg_state})
set_tests_properties(pg_cluster_start PROPERTIES FIXTURES_SETUP pg TIMEOUT 120)
set_tests_properties(pg_cluster_stop PROPERTIES FIXTURES_CLEANUP pg TIMEOUT 60)

# The slow-client test holds 1200 connections for seconds: it runs alone, so
# that it does not upset the timing of the end-to-end tests, and on SQLite only,
# as it tests the web side, not the store. The test that kills a server while it
# checks a round runs alone too: checks take only idle processor time, and
# beside the end-to-end tests they would wait for minutes.
function(bzk_server_tests prefix filter)
  gtest_discover_tests(server_test DISCOVERY_MODE PRE_TEST TEST_PREFIX "${prefix}" TEST_FILTER "${filter}"
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/server PROPERTIES TIMEOUT 120 ${ARGN})
endfunction()
bzk_server_tests("sqlite." "-*SlowAndIdle*:*KilledMidway*")
bzk_server_tests("sqlite." "*SlowAndIdle*:*KilledMidway*" RUN_SERIAL TRUE)
set(pg_env FIXTURES_REQUIRED pg ENVIRONMENT "BZK_TEST_PG_URL_FILE=${pg_state}/url")
bzk_server_tests("pg." "ScoreServer.*-*SlowAndIdle*:*KilledMidway*" ${pg_env})
bzk_server_tests("pg." "ScoreServer.*KilledMidway*" ${pg_env} RUN_SERIAL TRUE)
