# Factory patches, their preset files and the offline renderer (native build;
# included from cmake/native.cmake).
#
# presets/factory-patches.txt, the one source of the factory sounds, is built
# into the synthesizer's library (CMakeLists.txt); here it is checked through
# the plug-in's own parameter classes and written at build time as VST 2.4
# preset files into ${CMAKE_BINARY_DIR}/presets, one NAME.fxp per patch.
pkg_check_modules(SNDFILE REQUIRED IMPORTED_TARGET sndfile)

set(VELDANE_PRESETS_DIR ${CMAKE_BINARY_DIR}/presets)

# Playing a MIDI song through the synthesizer as a host would (portable).
add_library(veldane_song_player STATIC tools/render/song_player.cpp)
target_compile_options(veldane_song_player PRIVATE ${VELDANE_WARNINGS})
target_link_libraries(veldane_song_player PUBLIC veldane_synth veldane_formats)

# Patch tables as files, the patches as VST 2.4 programs and their
# listening-free measures.
add_library(veldane_patches STATIC
  tools/patches/patch_files.cpp
  tools/patches/patch_check.cpp)
target_compile_options(veldane_patches PRIVATE ${VELDANE_WARNINGS})
target_link_libraries(veldane_patches PUBLIC veldane_core veldane_formats veldane_song_player)

# The preset files, remade whenever the table or the tool changes; a table
# that does not read whole fails the build with "FILE:LINE: what is wrong".
add_executable(veldane-presets tools/patches/make_presets.cpp)
target_compile_options(veldane-presets PRIVATE ${VELDANE_WARNINGS})
target_link_libraries(veldane-presets PRIVATE veldane_patches)
# The stamp stands for the whole folder (the file names come from the table).
add_custom_command(
  OUTPUT ${VELDANE_PRESETS_DIR}/.written
  COMMAND veldane-presets ${VELDANE_FACTORY_TABLE} ${VELDANE_FACTORY_TABLE_SOURCE} ${VELDANE_PRESETS_DIR}
  COMMAND ${CMAKE_COMMAND} -E touch ${VELDANE_PRESETS_DIR}/.written
  DEPENDS veldane-presets ${VELDANE_FACTORY_TABLE}
  COMMENT "Writing the factory presets into ${VELDANE_PRESETS_DIR}"
  VERBATIM)
add_custom_target(factory_presets ALL DEPENDS ${VELDANE_PRESETS_DIR}/.written)

# The command-line renderer (libsndfile for WAV and FLAC).
add_executable(veldane-render tools/render/veldane_render.cpp)
target_compile_options(veldane-render PRIVATE ${VELDANE_WARNINGS})
target_link_libraries(veldane-render PRIVATE veldane_song_player veldane_patches PkgConfig::SNDFILE)
if(VELDANE_TESTS)
add_executable(compare-audio tools/render/compare_audio.cpp)
target_compile_options(compare-audio PRIVATE ${VELDANE_WARNINGS})
target_link_libraries(compare-audio PRIVATE PkgConfig::SNDFILE)

# Tests: text to value for every parameter, patch tables, every factory patch
# (round trip through .fxp, the built files, listening-free measures), the
# song player and the renderer's command line.
add_executable(patches_tests tests/patches_test.cpp tests/render_test.cpp)
target_compile_options(patches_tests PRIVATE ${VELDANE_WARNINGS})
target_link_libraries(patches_tests PRIVATE veldane_patches veldane_song_player PkgConfig::SNDFILE GTest::gtest_main)
target_compile_definitions(patches_tests PRIVATE
  VELDANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
  VELDANE_PRESETS_DIR="${VELDANE_PRESETS_DIR}"
  VELDANE_RENDER="$<TARGET_FILE:veldane-render>"
  VELDANE_TEST_OUTPUT_DIR="${CMAKE_BINARY_DIR}/render_test_output")
add_dependencies(patches_tests factory_presets veldane-render)
gtest_discover_tests(patches_tests)
endif() # VELDANE_TESTS
