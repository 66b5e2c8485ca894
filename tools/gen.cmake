# The art and sound generator and the two packs it makes. Included by
# tools/CMakeLists.txt; RUN_DIR comes from the top CMakeLists.txt.
pkg_check_modules(GEN_LIBS REQUIRED IMPORTED_TARGET cairo cairo-ft librsvg-2.0 freetype2)

add_executable(bzkgen
  gen/main.cpp gen/table.cpp gen/image.cpp gen/output.cpp
  gen/sprites.cpp gen/fonts.cpp gen/sounds.cpp)
target_link_libraries(bzkgen PRIVATE PkgConfig::GEN_LIBS m)
# Tens of thousands of noise samples per frame: optimise even in Debug builds.
target_compile_options(bzkgen PRIVATE -O2)

set(GEN_ASSETS ${CMAKE_SOURCE_DIR}/assets)
set(GEN_STAGE ${CMAKE_BINARY_DIR}/gen)
file(GLOB GEN_SOURCES CONFIGURE_DEPENDS ${GEN_ASSETS}/*.svg ${GEN_ASSETS}/assets.txt)

# Library leaks inside fontconfig/cairo/librsvg caches are not ours and must
# not fail the build under AddressSanitizer.
add_custom_command(
  OUTPUT ${RUN_DIR}/data/gfx.pkf ${RUN_DIR}/data/sfx.pkf ${CMAKE_BINARY_DIR}/contact-sheet.png
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${GEN_STAGE}
  COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
          $<TARGET_FILE:bzkgen> ${GEN_ASSETS} ${GEN_STAGE} ${CMAKE_BINARY_DIR}/contact-sheet.png
  COMMAND ${CMAKE_COMMAND} -DPKF=$<TARGET_FILE:pkf> -DLIST=${GEN_STAGE}/gfx.list
          -DOUT=${RUN_DIR}/data/gfx.pkf -P ${CMAKE_CURRENT_SOURCE_DIR}/gen/pack.cmake
  COMMAND ${CMAKE_COMMAND} -DPKF=$<TARGET_FILE:pkf> -DLIST=${GEN_STAGE}/sfx.list
          -DOUT=${RUN_DIR}/data/sfx.pkf -P ${CMAKE_CURRENT_SOURCE_DIR}/gen/pack.cmake
  DEPENDS bzkgen pkf ${GEN_SOURCES} ${CMAKE_CURRENT_SOURCE_DIR}/gen/pack.cmake
  COMMENT "Drawing the art, synthesizing the sounds and packing them"
  VERBATIM)
add_custom_target(packs ALL
  DEPENDS ${RUN_DIR}/data/gfx.pkf ${RUN_DIR}/data/sfx.pkf ${CMAKE_BINARY_DIR}/contact-sheet.png)
