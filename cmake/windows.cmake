# Windows-only targets: the plug-in DLL, the test host and the test programs
# that load the built DLL.
enable_language(RC)

# On Windows the editor's window is a Win32 window (USER32); the bitmap layer
# gains the back buffer and the label's text (GDI32) and the image loader
# (resources).
target_sources(veldane_gfx PRIVATE gfx/sys_bitmap.cpp gfx/png_resource.cpp gfx/system_text_win32.cpp)
target_link_libraries(veldane_gfx PUBLIC gdi32)
target_sources(zem_editor PRIVATE framework/platform_window_win32.cpp)

add_library(Veldane SHARED
  wrappers/vst2/dll_main.cpp
  wrappers/vst2/veldane.def
  resources/veldane.rc
)
set_target_properties(Veldane PROPERTIES PREFIX "" OUTPUT_NAME "Veldane")
target_compile_options(Veldane PRIVATE ${VELDANE_WARNINGS})
target_link_libraries(Veldane PRIVATE veldane_vst2)
# windres does not report the images as dependencies of the resource scripts.
set(veldane_images panel knob slider_handle lamp_on lamp_off)
list(TRANSFORM veldane_images PREPEND "${CMAKE_SOURCE_DIR}/resources/")
list(TRANSFORM veldane_images APPEND ".png")
set_source_files_properties(resources/veldane.rc PROPERTIES OBJECT_DEPENDS "${veldane_images}")
# The editors that scale (CLAP, VST 3) carry every scale's images.
file(GLOB veldane_scaled_images ${CMAKE_SOURCE_DIR}/resources/*.png)
set_source_files_properties(resources/veldane_scaled.rc PROPERTIES
  OBJECT_DEPENDS "${veldane_scaled_images};${CMAKE_SOURCE_DIR}/resources/veldane.rc")

# An editor in a window of our own, its pixels read back and saved as PNG:
# shared by the test host and the editor window tests.
add_library(window_capture STATIC tools/testhost/window_capture.cpp)
target_compile_options(window_capture PRIVATE ${VELDANE_WARNINGS})
target_link_libraries(window_capture PUBLIC veldane_gfx png_file)

# The native build tree, for the tests that compare this DLL with what the
# native tools make (veldane-render, the Linux editor); it is built first
# (scripts/test.sh does), beside this one by default.
set(VELDANE_NATIVE_BUILD_DIR ${CMAKE_BINARY_DIR}/../native CACHE PATH "The native build tree, for veldane-render and the Linux editor")

# The test host's editor frame, and the DLL it is tested with.
target_sources(testhost PRIVATE tools/testhost/editor_frame_win32.cpp)
target_link_libraries(testhost PRIVATE window_capture)
add_dependencies(testhost Veldane)
add_test(NAME testhost_render
  COMMAND testhost render $<TARGET_FILE:Veldane> ${CMAKE_SOURCE_DIR}/tools/testhost/demo.txt
          ${CMAKE_BINARY_DIR}/testhost_demo.wav --double --block 100)
# One play of the benchmark passage, so the command that measures the DLL
# (scripts/bench-builds.sh) keeps working; its figures are not checked.
add_test(NAME testhost_bench
  COMMAND testhost bench $<TARGET_FILE:Veldane> ${CMAKE_SOURCE_DIR}/bench/eight_voices.txt --seconds 0)
add_test(NAME testhost_editor
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-window-run.sh $<TARGET_FILE:testhost> editor $<TARGET_FILE:Veldane>
          ${CMAKE_BINARY_DIR}/testhost_editor.png ${CMAKE_SOURCE_DIR}/tools/testhost/demo.txt)
# The same state in the Linux editor (veldane.so of the native build, in an
# X11 window): the artwork pixel for pixel the same, the version label within
# bounds.
add_test(NAME editor_matches_linux
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/editor/matches_linux.sh ${VELDANE_NATIVE_BUILD_DIR}
          ${CMAKE_BINARY_DIR}/testhost_editor.png ${CMAKE_BINARY_DIR}/editor_matches_linux)
set_tests_properties(testhost_editor PROPERTIES FIXTURES_SETUP windows_editor_picture)
set_tests_properties(editor_matches_linux PROPERTIES FIXTURES_REQUIRED windows_editor_picture)

# A test program that loads the built Veldane.dll (found beside it). Each runs
# as one wine process.
function(veldane_dll_test name source)
  add_executable(${name} ${source})
  target_compile_options(${name} PRIVATE ${VELDANE_WARNINGS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARGN})
  add_dependencies(${name} Veldane)
endfunction()

# The Windows bitmap, and the images loaded from the DLL's resources.
veldane_dll_test(veldane_gfx_win_tests tests/bitmap_win_test.cpp veldane_gfx GTest::gtest_main)
add_test(NAME gfx_win_tests COMMAND veldane_gfx_win_tests --gtest_brief=1)

# The host boundary as a host meets it: export table, record, every host call.
veldane_dll_test(host_tests tests/host/host_tests.cpp GTest::gtest_main)
add_test(NAME host_tests COMMAND host_tests --gtest_brief=1)

# The demo phrase through the DLL, sample for sample as the native build
# renders it.
veldane_dll_test(golden_dll_test tests/host/golden_dll_test.cpp testhost_script GTest::gtest_main)
target_compile_definitions(golden_dll_test PRIVATE VELDANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
add_test(NAME golden_dll_test COMMAND golden_dll_test --gtest_brief=1)

# The editor in a window of its own under a virtual display, driven with
# window messages.
veldane_dll_test(editor_window_tests tests/editor/editor_window_test.cpp window_capture GTest::gtest psapi)
add_test(NAME editor_window_tests
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-window-run.sh $<TARGET_FILE:editor_window_tests> --gtest_brief=1)

# Thread safety: renders on one thread while another automates every
# parameter, the voice mode among them (about 5 s under wine).
veldane_dll_test(voice_mode_stress tests/stress/voice_mode_stress.cpp GTest::gtest_main)
add_test(NAME voice_mode_stress COMMAND voice_mode_stress --gtest_brief=1)

# Probes of the DLL as hostile hosts call it: misaligned stacks and foreign
# floating-point modes, a fuzzer of events, parameters and rates, and the
# lifetime of thousands of instances with and without their editor. One
# program, run as one process per group (gtest filters); the test command
# makes short runs, scripts/probes.sh long ones (VELDANE_PROBE_SCALE).
veldane_dll_test(probe_tests tests/probes/caller_probe.cpp window_capture GTest::gtest_main psapi)
target_sources(probe_tests PRIVATE tests/probes/fuzz_probe.cpp tests/probes/lifetime_probe.cpp)
add_test(NAME probe_callers
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-window-run.sh $<TARGET_FILE:probe_tests> --gtest_brief=1
          --gtest_filter=CallerProbe.*)
add_test(NAME probe_fuzz COMMAND probe_tests --gtest_brief=1 --gtest_filter=FuzzProbe.*)
add_test(NAME probe_lifetime
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-window-run.sh $<TARGET_FILE:probe_tests> --gtest_brief=1
          --gtest_filter=Lifetime.*)
# A hang shows as a timeout; the short runs take seconds.
set_tests_properties(probe_callers probe_fuzz probe_lifetime PROPERTIES TIMEOUT 300)

# The DLL on each narrower voice path, forced through VELDANE_SIMD (the tests
# above take the widest the processor has): the demo phrase's bits, and the
# callers with misaligned stacks and foreign floating-point modes.
foreach(path sse2 avx2)
  add_test(NAME golden_dll_test_${path} COMMAND golden_dll_test --gtest_brief=1)
  add_test(NAME probe_callers_${path}
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-window-run.sh $<TARGET_FILE:probe_tests> --gtest_brief=1
            --gtest_filter=CallerProbe.*)
  set_tests_properties(golden_dll_test_${path} probe_callers_${path} PROPERTIES ENVIRONMENT VELDANE_SIMD=${path})
  set_tests_properties(probe_callers_${path} PROPERTIES TIMEOUT 300)
endforeach()

# The offline renderer of the native build (veldane-render) against this DLL:
# the same song played through both gives the same samples.
add_test(NAME render_matches_dll
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/render/matches_dll.sh ${VELDANE_NATIVE_BUILD_DIR} $<TARGET_FILE:testhost>
          $<TARGET_FILE:Veldane> ${CMAKE_BINARY_DIR}/render_matches_dll)

# Veldane.clap for 64-bit Windows: the CLAP plug-in as a DLL exporting its
# entry record (wrappers/clap/veldane.def); -u pulls the entry's object out of
# the static library. Its import library is named apart from Veldane.dll's.
if(VELDANE_CLAP)
  target_sources(claphost_core PRIVATE tools/claphost/gui_frame_win32.cpp)
  target_link_libraries(claphost_core PUBLIC window_capture)
  add_library(VeldaneClap SHARED wrappers/clap/veldane.def resources/veldane_scaled.rc)
  set_target_properties(VeldaneClap PROPERTIES
    PREFIX "" OUTPUT_NAME Veldane SUFFIX .clap ARCHIVE_OUTPUT_NAME VeldaneClap LINKER_LANGUAGE CXX)
  target_link_libraries(VeldaneClap PRIVATE veldane_clap)
  target_link_options(VeldaneClap PRIVATE -Wl,-u,clap_entry)

  # The same checks as the Linux .clap's, under wine64: the test program
  # loads Veldane.clap from beside itself, and the renders are compared with
  # Veldane.dll's.
  veldane_dll_test(clap_plugin_tests tests/clap/clap_plugin_test.cpp claphost_core veldane_synth GTest::gtest_main)
  target_compile_definitions(clap_plugin_tests PRIVATE VELDANE_CLAP="Veldane.clap")
  add_dependencies(clap_plugin_tests VeldaneClap)
  add_test(NAME clap_plugin_tests COMMAND clap_plugin_tests --gtest_brief=1)
  add_dependencies(claphost VeldaneClap)
  add_test(NAME clap_matches_vst2
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/clap/matches_vst2.sh $<TARGET_FILE:claphost> $<TARGET_FILE:VeldaneClap>
            $<TARGET_FILE:testhost> $<TARGET_FILE:Veldane> ${CMAKE_BINARY_DIR}/clap_matches_vst2
            ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh)
  add_test(NAME clap_gui
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-window-run.sh $<TARGET_FILE:claphost> gui $<TARGET_FILE:VeldaneClap> 100
            --size 702x366)
  # Its editor's picture against the Linux one's at 96 DPI (100 %) and, in a
  # prefix of 192 DPI, at 200 %.
  foreach(dpi 96 192)
    add_test(NAME clap_gui_matches_linux_${dpi}dpi
      COMMAND bash ${CMAKE_SOURCE_DIR}/tests/clap/gui_matches_linux.sh ${VELDANE_NATIVE_BUILD_DIR}
              $<TARGET_FILE:claphost> $<TARGET_FILE:VeldaneClap> ${dpi} ${CMAKE_BINARY_DIR}/clap_gui_${dpi}dpi)
  endforeach()
endif()

# --- VST 3 (64-bit build) ---------------------------------------------------------
# The Windows bundle: vst3/Veldane.vst3/Contents/x86_64-win/Veldane.vst3, a DLL
# named like its bundle that exports the factory and InitDll/ExitDll; and the
# bundle's tests through our VST 3 host under wine64 (the demo phrase in a
# process of its own, so it is the first thing the loaded module plays).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(VELDANE_VST3_BUNDLE ${CMAKE_BINARY_DIR}/vst3/Veldane.vst3)
  add_library(Veldane_vst3 SHARED wrappers/vst3/dll_main.cpp wrappers/vst3/veldane.def resources/veldane_scaled.rc)
  set_target_properties(Veldane_vst3 PROPERTIES
    PREFIX "" OUTPUT_NAME Veldane SUFFIX .vst3 ARCHIVE_OUTPUT_NAME VeldaneVst3 LINKER_LANGUAGE CXX
    RUNTIME_OUTPUT_DIRECTORY ${VELDANE_VST3_BUNDLE}/Contents/x86_64-win)
  target_compile_options(Veldane_vst3 PRIVATE ${VELDANE_WARNINGS})
  target_link_libraries(Veldane_vst3 PRIVATE veldane_vst3)

  add_executable(vst3_module_tests tests/vst3/vst3_module_test.cpp)
  target_compile_options(vst3_module_tests PRIVATE ${VELDANE_WARNINGS})
  # The preset files are the native build's (they are the same for every system).
  target_compile_definitions(vst3_module_tests PRIVATE VELDANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    VELDANE_VST3_BUNDLE="${VELDANE_VST3_BUNDLE}" VELDANE_VST3_PRESETS_DIR="${VELDANE_NATIVE_BUILD_DIR}/vst3-presets")
  target_link_libraries(vst3_module_tests PRIVATE vst3host_core veldane_vst2 GTest::gtest_main)
  add_dependencies(vst3_module_tests Veldane_vst3)
  add_test(NAME vst3_module_tests COMMAND vst3_module_tests --gtest_brief=1 --gtest_filter=-*DemoPhrase*)
  add_test(NAME vst3_demo_phrase COMMAND vst3_module_tests --gtest_brief=1 --gtest_filter=*DemoPhrase*)
  add_test(NAME vst3host_info COMMAND vst3host info ${VELDANE_VST3_BUNDLE})
  # The editor view in a window of ours on a virtual display, 100 open and
  # close cycles.
  add_executable(vst3_view_win_tests tests/vst3/vst3_view_win_test.cpp)
  target_compile_options(vst3_view_win_tests PRIVATE ${VELDANE_WARNINGS})
  target_compile_definitions(vst3_view_win_tests PRIVATE VELDANE_VST3_BUNDLE="${VELDANE_VST3_BUNDLE}")
  target_link_libraries(vst3_view_win_tests PRIVATE vst3host_core veldane_ui window_capture GTest::gtest psapi)
  add_dependencies(vst3_view_win_tests Veldane_vst3)
  add_test(NAME vst3_view_win_tests
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-window-run.sh $<TARGET_FILE:vst3_view_win_tests> --gtest_brief=1)
  # The same in a prefix whose screen has 192 DPI: the panel at 200 %.
  add_test(NAME vst3_view_win_tests_192dpi
    COMMAND ${CMAKE_COMMAND} -E env WINE_DPI=192
            ${CMAKE_SOURCE_DIR}/scripts/wine-window-run.sh $<TARGET_FILE:vst3_view_win_tests> --gtest_brief=1 --dpi 192)

  # What users download (packaging/make-dist.sh, from the native, 32-bit and
  # 64-bit trees beside this one): the archives against the install layout,
  # then the installer under wine64 in a prefix of its own.
  add_test(NAME dist_archives
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/packaging/dist_checks.sh ${CMAKE_BINARY_DIR}/.. ${CMAKE_BINARY_DIR}/dist-test)
  add_test(NAME dist_installer
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/packaging/installer_checks.sh ${CMAKE_BINARY_DIR}/dist-test/work
            ${CMAKE_BINARY_DIR} ${CMAKE_BINARY_DIR}/installer-test)
  set_tests_properties(dist_archives PROPERTIES FIXTURES_SETUP dist TIMEOUT 300)
  set_tests_properties(dist_installer PROPERTIES FIXTURES_REQUIRED dist TIMEOUT 900)
endif()
