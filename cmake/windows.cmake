# Windows-only targets: the plug-in DLL and the test host.
enable_language(RC)
# The editor window (Win32 + GDI) is part of the plug-in object on Windows, so every program linking the core gets it.
target_sources(veldane_core PRIVATE synth/editor.cpp synth/label_control.cpp gfx/sys_bitmap.cpp gfx/png_resource.cpp)
target_link_libraries(veldane_core PUBLIC gdi32)
add_library(Veldane SHARED
  synth/dll_main.cpp
  synth/veldane.def
  resources/veldane.rc
)
set_target_properties(Veldane PROPERTIES PREFIX "" OUTPUT_NAME "Veldane")
target_compile_options(Veldane PRIVATE ${VELDANE_WARNINGS})
target_link_libraries(Veldane PRIVATE veldane_core)

# Bitmaps: the images embedded in the DLL (windres does not report the PNGs as
# dependencies of the resource script), and a test of the Windows bitmap and of
# loading the images from the built Veldane.dll.
set_source_files_properties(resources/veldane.rc PROPERTIES OBJECT_DEPENDS "${CMAKE_SOURCE_DIR}/resources/panel.png;${CMAKE_SOURCE_DIR}/resources/knob.png;${CMAKE_SOURCE_DIR}/resources/slider_handle.png;${CMAKE_SOURCE_DIR}/resources/lamp_on.png;${CMAKE_SOURCE_DIR}/resources/lamp_off.png")
add_executable(veldane_gfx_win_tests tests/bitmap_win_test.cpp)
target_compile_options(veldane_gfx_win_tests PRIVATE ${VELDANE_WARNINGS})
target_link_libraries(veldane_gfx_win_tests PRIVATE veldane_core GTest::gtest_main)
add_dependencies(veldane_gfx_win_tests Veldane)
add_test(NAME gfx_win_tests COMMAND veldane_gfx_win_tests --gtest_brief=1)

# Host boundary: the test host (tools/testhost), and the tests that load the
# built Veldane.dll as a host does (export table, record, every host call);
# the test program finds the DLL beside itself. One wine process each.
add_executable(testhost tools/testhost/testhost.cpp)
target_compile_options(testhost PRIVATE ${VELDANE_WARNINGS})
target_include_directories(testhost PRIVATE ${CMAKE_SOURCE_DIR})
add_dependencies(testhost Veldane)
add_executable(host_tests tests/host/host_tests.cpp)
target_compile_options(host_tests PRIVATE ${VELDANE_WARNINGS})
target_include_directories(host_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(host_tests PRIVATE GTest::gtest_main)
add_dependencies(host_tests Veldane)
add_test(NAME host_tests COMMAND host_tests --gtest_brief=1)
add_test(NAME testhost_render COMMAND testhost render $<TARGET_FILE:Veldane> ${CMAKE_SOURCE_DIR}/tools/testhost/demo.txt ${CMAKE_BINARY_DIR}/testhost_demo.wav --double --block 100)

# The editor window test: loads the built Veldane.dll, opens the editor in a
# window of its own under a virtual display and drives it with window messages;
# its screenshot of the panel stays in the build tree.
add_executable(editor_window_tests tests/editor/editor_window_test.cpp)
target_compile_options(editor_window_tests PRIVATE ${VELDANE_WARNINGS})
target_link_libraries(editor_window_tests PRIVATE veldane_core GTest::gtest psapi)
add_dependencies(editor_window_tests Veldane)
add_test(NAME editor_window_tests COMMAND ${CMAKE_SOURCE_DIR}/scripts/run-window-tests.sh $<TARGET_FILE:editor_window_tests> --gtest_brief=1 --screenshot=${CMAKE_BINARY_DIR}/editor_window_tests.png)

# Thread safety: renders the built Veldane.dll on one thread while another
# automates every parameter, the voice mode among them (about 4 s under wine).
add_executable(voice_mode_stress tests/stress/voice_mode_stress.cpp)
target_compile_options(voice_mode_stress PRIVATE ${VELDANE_WARNINGS})
target_include_directories(voice_mode_stress PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(voice_mode_stress PRIVATE GTest::gtest_main)
add_dependencies(voice_mode_stress Veldane)
add_test(NAME voice_mode_stress COMMAND voice_mode_stress --gtest_brief=1)
