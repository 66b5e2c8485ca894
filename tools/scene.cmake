# The scene runner: the game's own frame steps on a prepared scene, for looking
# at the weapons (PNG frames) and for timing the frame (the benchmark). Not part
# of the game. Included by tools/CMakeLists.txt; RUN_DIR comes from the top
# CMakeLists.txt.
pkg_check_modules(SCENE_CAIRO REQUIRED IMPORTED_TARGET cairo)

add_executable(scene scene.cpp)
target_link_libraries(scene PRIVATE bzk_game PkgConfig::SCENE_CAIRO)
target_compile_definitions(scene PRIVATE SCENE_RUN_DIR="${RUN_DIR}")
# It loads the real packs.
if(TARGET packs)
  add_dependencies(scene packs)
endif()
