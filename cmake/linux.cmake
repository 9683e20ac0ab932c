# The Linux plug-ins, built from the same libraries as the tests:
#   vst/veldane.so      VST 2.4 for x86-64 Linux hosts (wrappers/vst2), the panel
#                       as its editor in an X11 window
#   lv2/veldane.lv2/    the LV2 bundle: veldane.so (wrappers/lv2), the panel as
#                       its X11 UI in veldane_ui.so (wrappers/lv2/ui.cpp), and
#                       the Turtle files, written at build time from the
#                       parameter table, with the factory patches as presets
#   clap/Veldane.clap   CLAP (wrappers/clap), the same panel in an X11 window
#   vst3/Veldane.vst3/  the VST 3 bundle (wrappers/vst3), the same panel as its view
# each in a folder of its own, so a host's search path can name it alone
# and their tests: in-process, through the built modules, and in real hosts
# (Ardour, jalv on JACK, the LV2 validators, Qtractor's scanner).
#
# The ThreadSanitizer tree only runs the core's tests; it builds no plug-ins.
if(VELDANE_SANITIZER STREQUAL "thread")
  return()
endif()

find_package(PkgConfig REQUIRED)
pkg_check_modules(LV2 REQUIRED IMPORTED_TARGET lv2)

# Everything a plug-in module links must be position-independent.
set_target_properties(veldane_gfx zem_framework zem_editor veldane_synth veldane_ui veldane_vst2 veldane_clap
  PROPERTIES POSITION_INDEPENDENT_CODE ON)

add_library(veldane_lv2 STATIC wrappers/lv2/plugin.cpp)
target_compile_options(veldane_lv2 PRIVATE ${VELDANE_WARNINGS})
target_link_libraries(veldane_lv2 PUBLIC veldane_synth PkgConfig::LV2)
set_target_properties(veldane_lv2 PROPERTIES POSITION_INDEPENDENT_CODE ON)

# veldane_module(TARGET DIR NAME LIBRARY ENTRY MAP): a loadable module
# DIR/NAME.so made of LIBRARY, exporting ENTRY alone (the version script MAP
# keeps every other symbol local). -u pulls the entry's object out of the
# static library; -z defs refuses a module with an unresolved symbol, which a
# host would only report when loading it. -z nodelete keeps a module in
# memory once loaded: a module with the editor installs an X error handler
# while a window is open, and another module's handler may hand errors on to
# it after it closed, so its code must stay where it was.
function(veldane_module target dir name library entry map)
  add_library(${target} MODULE ${map})
  set_target_properties(${target} PROPERTIES
    PREFIX "" OUTPUT_NAME ${name} LINKER_LANGUAGE CXX
    LIBRARY_OUTPUT_DIRECTORY ${dir}
    LINK_DEPENDS ${CMAKE_SOURCE_DIR}/${map})
  target_link_libraries(${target} PRIVATE ${library})
  target_link_options(${target} PRIVATE
    -Wl,-u,${entry} -Wl,--version-script=${CMAKE_SOURCE_DIR}/${map} -Wl,-z,defs -Wl,-z,nodelete -Wl,--as-needed)
endfunction()

veldane_module(veldane_vst2_linux ${CMAKE_BINARY_DIR}/vst veldane veldane_vst2 VSTPluginMain wrappers/vst2/veldane.map)
set(VELDANE_LV2_BUNDLE ${CMAKE_BINARY_DIR}/lv2/veldane.lv2)
veldane_module(veldane_lv2_linux ${VELDANE_LV2_BUNDLE} veldane veldane_lv2 lv2_descriptor wrappers/lv2/veldane.map)

# The UI, a library of its own, so the plug-in's links no window system.
add_library(veldane_lv2_ui STATIC wrappers/lv2/ui.cpp)
target_compile_options(veldane_lv2_ui PRIVATE ${VELDANE_WARNINGS})
target_link_libraries(veldane_lv2_ui PUBLIC veldane_ui PkgConfig::LV2)
set_target_properties(veldane_lv2_ui PROPERTIES POSITION_INDEPENDENT_CODE ON)
veldane_module(veldane_lv2_ui_linux ${VELDANE_LV2_BUNDLE} veldane_ui veldane_lv2_ui lv2ui_descriptor
  wrappers/lv2/veldane_ui.map)
veldane_module(veldane_clap_linux ${CMAKE_BINARY_DIR}/clap Veldane veldane_clap clap_entry wrappers/clap/veldane.map)
set_target_properties(veldane_clap_linux PROPERTIES SUFFIX .clap)

# The factory patches as LV2 presets (tools/patches/lv2_presets.h).
add_library(veldane_lv2_presets STATIC tools/patches/lv2_presets.cpp)
target_compile_options(veldane_lv2_presets PRIVATE ${VELDANE_WARNINGS})
target_link_libraries(veldane_lv2_presets PUBLIC veldane_patches)

# The bundle's Turtle files, from the parameter table compiled into the tool,
# the presets from the factory table.
add_executable(make_turtle wrappers/lv2/make_turtle.cpp)
target_compile_options(make_turtle PRIVATE ${VELDANE_WARNINGS})
target_link_libraries(make_turtle PRIVATE veldane_lv2_presets)
set(VELDANE_LV2_TURTLE ${VELDANE_LV2_BUNDLE}/manifest.ttl ${VELDANE_LV2_BUNDLE}/veldane.ttl
  ${VELDANE_LV2_BUNDLE}/presets.ttl)
add_custom_command(
  OUTPUT ${VELDANE_LV2_TURTLE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VELDANE_LV2_BUNDLE}
  COMMAND make_turtle ${VELDANE_LV2_BUNDLE} veldane.so veldane_ui.so ${PROJECT_VERSION_MINOR} ${PROJECT_VERSION_PATCH}
    ${VELDANE_FACTORY_TABLE} ${VELDANE_FACTORY_TABLE_SOURCE}
  DEPENDS make_turtle ${VELDANE_FACTORY_TABLE}
  COMMENT "Writing the LV2 bundle's Turtle files and presets")
add_custom_target(veldane_lv2_turtle ALL DEPENDS ${VELDANE_LV2_TURTLE})
add_dependencies(veldane_lv2_linux veldane_lv2_turtle veldane_lv2_ui_linux)

# The VST 3 bundle: vst3/Veldane.vst3/Contents/x86_64-linux/Veldane.so (hosts
# want the module named like the bundle), exporting the factory and the
# module's set-up and tear-down calls.
set(VELDANE_VST3_BUNDLE ${CMAKE_BINARY_DIR}/vst3/Veldane.vst3)
veldane_module(veldane_vst3_linux ${VELDANE_VST3_BUNDLE}/Contents/x86_64-linux Veldane veldane_vst3 GetPluginFactory
  wrappers/vst3/veldane.map)

# The factory patches as VST 3 preset files, written from the patch table:
# vst3-presets/Orvandel/Veldane/*.vstpreset, the tree to copy below a VST 3
# preset root (/usr/share/vst3/presets or ~/.vst3/presets on Linux,
# C:\ProgramData\VST3 Presets on Windows: the files are the same for both).
# The stamp stands for the folder, whose file names come from the table.
set(VELDANE_VST3_PRESETS_DIR ${CMAKE_BINARY_DIR}/vst3-presets)
add_executable(make_vst3_presets wrappers/vst3/make_presets.cpp)
target_compile_options(make_vst3_presets PRIVATE ${VELDANE_WARNINGS})
target_link_libraries(make_vst3_presets PRIVATE veldane_patches zem_vst3)
add_custom_command(
  OUTPUT ${VELDANE_VST3_PRESETS_DIR}/.written
  COMMAND make_vst3_presets ${VELDANE_FACTORY_TABLE} ${VELDANE_FACTORY_TABLE_SOURCE} ${VELDANE_VST3_PRESETS_DIR}
  COMMAND ${CMAKE_COMMAND} -E touch ${VELDANE_VST3_PRESETS_DIR}/.written
  DEPENDS make_vst3_presets ${VELDANE_FACTORY_TABLE}
  COMMENT "Writing the factory presets as VST 3 preset files into ${VELDANE_VST3_PRESETS_DIR}"
  VERBATIM)
add_custom_target(veldane_vst3_presets ALL DEPENDS ${VELDANE_VST3_PRESETS_DIR}/.written)

# --- Tests ---------------------------------------------------------------------
if(VELDANE_TESTS)
# The LV2 plug-in in-process, driven through its descriptor as a host drives
# it, and the bundle's presets read back.
add_executable(lv2_plugin_tests tests/linux/lv2_plugin_test.cpp tests/alloc_counter.cpp)
target_compile_options(lv2_plugin_tests PRIVATE ${VELDANE_WARNINGS})
target_compile_definitions(lv2_plugin_tests PRIVATE VELDANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
  VELDANE_LV2_BUNDLE="${VELDANE_LV2_BUNDLE}")
target_link_libraries(lv2_plugin_tests PRIVATE veldane_lv2 veldane_vst2 veldane_patches testhost_script
  GTest::gtest_main)
add_dependencies(lv2_plugin_tests veldane_lv2_turtle)
gtest_discover_tests(lv2_plugin_tests)

# The LV2 UI through its descriptor, on a virtual display with real pointer
# input, as the X11 editor tests drive the VST 2.4 editor.
add_executable(lv2_ui_tests tests/linux/lv2_ui_test.cpp tests/editor/x11_main.cpp)
target_compile_options(lv2_ui_tests PRIVATE ${VELDANE_WARNINGS})
target_link_libraries(lv2_ui_tests PRIVATE veldane_lv2_ui x11_capture X11::Xtst GTest::gtest)
add_test(NAME lv2_ui_tests
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/x11-run.sh $<TARGET_FILE:lv2_ui_tests> --gtest_brief=1)

# The built veldane.so, opened as a Linux host opens it; each case runs in a
# process of its own (gtest_discover_tests), so every case meets a freshly
# loaded library.
add_executable(vst2_so_tests tests/linux/vst2_so_test.cpp)
target_compile_options(vst2_so_tests PRIVATE ${VELDANE_WARNINGS})
target_compile_definitions(vst2_so_tests PRIVATE VELDANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
  VELDANE_SO="$<TARGET_FILE:veldane_vst2_linux>")
target_link_libraries(vst2_so_tests PRIVATE veldane_vst2 testhost_script GTest::gtest_main ${CMAKE_DL_LIBS})
add_dependencies(vst2_so_tests veldane_vst2_linux)
gtest_discover_tests(vst2_so_tests)

# The built Veldane.clap through our CLAP host, and its renders against
# veldane.so's (each case a process of its own).
add_executable(clap_plugin_tests tests/clap/clap_plugin_test.cpp)
target_compile_options(clap_plugin_tests PRIVATE ${VELDANE_WARNINGS})
target_compile_definitions(clap_plugin_tests PRIVATE VELDANE_CLAP="$<TARGET_FILE:veldane_clap_linux>")
target_link_libraries(clap_plugin_tests PRIVATE claphost_core veldane_synth GTest::gtest_main)
add_dependencies(clap_plugin_tests veldane_clap_linux)
gtest_discover_tests(clap_plugin_tests)
add_test(NAME clap_matches_vst2
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/clap/matches_vst2.sh $<TARGET_FILE:claphost> $<TARGET_FILE:veldane_clap_linux>
          $<TARGET_FILE:testhost> $<TARGET_FILE:veldane_vst2_linux> ${CMAKE_BINARY_DIR}/clap_matches_vst2)
# Its editor in our window on a virtual display, opened and closed 100 times
# at each scale: with no word on it (100 %), at the host's 150 and 200 %
# (gui.set_scale); and opened at the X server's 200 % (Xft.dpi 192) and at
# VELDANE_SCALE's 150 %, which outranks the X server.
add_test(NAME clap_gui
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/x11-run.sh $<TARGET_FILE:claphost> gui $<TARGET_FILE:veldane_clap_linux> 100
          --size 702x366)
add_test(NAME clap_gui_150
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/x11-run.sh $<TARGET_FILE:claphost> gui $<TARGET_FILE:veldane_clap_linux> 100
          --scale 1.5 --size 1053x549)
add_test(NAME clap_gui_200
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/x11-run.sh $<TARGET_FILE:claphost> gui $<TARGET_FILE:veldane_clap_linux> 100
          --scale 2 --size 1404x732)
add_test(NAME clap_gui_xft_dpi
  COMMAND ${CMAKE_COMMAND} -E env XFT_DPI=192
          ${CMAKE_SOURCE_DIR}/scripts/x11-run.sh $<TARGET_FILE:claphost> gui $<TARGET_FILE:veldane_clap_linux> 1
          --size 1404x732)
add_test(NAME clap_gui_variable
  COMMAND ${CMAKE_COMMAND} -E env XFT_DPI=192 VELDANE_SCALE=1.5
          ${CMAKE_SOURCE_DIR}/scripts/x11-run.sh $<TARGET_FILE:claphost> gui $<TARGET_FILE:veldane_clap_linux> 1
          --size 1053x549)

# The VST 3 bundle loaded by our VST 3 host (tools/vst3host), against the
# table, the VST 2.4 plug-in's render and hostile calls.
add_executable(vst3_module_tests tests/vst3/vst3_module_test.cpp)
target_compile_options(vst3_module_tests PRIVATE ${VELDANE_WARNINGS})
target_compile_definitions(vst3_module_tests PRIVATE VELDANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
  VELDANE_VST3_BUNDLE="${VELDANE_VST3_BUNDLE}" VELDANE_VST3_PRESETS_DIR="${VELDANE_VST3_PRESETS_DIR}")
target_link_libraries(vst3_module_tests PRIVATE vst3host_core veldane_vst2 GTest::gtest_main)
add_dependencies(vst3_module_tests veldane_vst3_linux veldane_vst3_presets)
gtest_discover_tests(vst3_module_tests)

# The bundle's editor view in an X11 window of ours on a virtual display,
# living on our run loop's timer; a hundred open and close cycles.
add_executable(vst3_view_x11_tests tests/vst3/vst3_view_x11_test.cpp tests/editor/x11_main.cpp)
target_compile_options(vst3_view_x11_tests PRIVATE ${VELDANE_WARNINGS})
target_compile_definitions(vst3_view_x11_tests PRIVATE VELDANE_VST3_BUNDLE="${VELDANE_VST3_BUNDLE}")
target_link_libraries(vst3_view_x11_tests PRIVATE vst3host_core veldane_ui x11_capture X11::Xtst GTest::gtest)
add_dependencies(vst3_view_x11_tests veldane_vst3_linux)
add_test(NAME vst3_view_x11_tests
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/x11-run.sh $<TARGET_FILE:vst3_view_x11_tests> --gtest_brief=1)

# Compares a real host's report of the parameters with the plug-in's table,
# and of the presets with the factory patches.
add_executable(host_view_check tests/linux/host_view_check.cpp)
target_compile_options(host_view_check PRIVATE ${VELDANE_WARNINGS})
target_link_libraries(host_view_check PRIVATE veldane_patches zem_vst3)

# The real hosts and the package run in the trees without sanitizers alone:
# those programs are not built with them, and could load our modules only with
# the sanitizers' runtime forced into them, which would then judge their code
# as well as ours. (Nor does a sanitizer tree make the package.)
if(NOT VELDANE_SANITIZER)
# Preloaded into Ardour by the host checks: counts the calls of Ardour's
# mixing routines and any write past the end of a buffer.
add_library(ardour_mix_probe MODULE tests/linux/ardour_mix_probe.c)
set_target_properties(ardour_mix_probe PROPERTIES PREFIX "")
target_compile_options(ardour_mix_probe PRIVATE -Wall -Wextra -Werror)
target_link_libraries(ardour_mix_probe PRIVATE ${CMAKE_DL_LIBS})

# An instrument of the tests' own that aborts its host at teardown once it
# has played: the Ardour checks must fail on such a crash.
set(teardown_abort_bundle ${CMAKE_BINARY_DIR}/tests/teardown_abort.lv2)
add_library(teardown_abort MODULE tests/linux/teardown_abort.c)
set_target_properties(teardown_abort PROPERTIES PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${teardown_abort_bundle})
target_compile_options(teardown_abort PRIVATE -Wall -Wextra -Werror)
target_link_libraries(teardown_abort PRIVATE PkgConfig::LV2 m)
foreach(ttl manifest.ttl teardown_abort.ttl)
  configure_file(tests/linux/teardown_abort.lv2/${ttl} ${teardown_abort_bundle}/${ttl} COPYONLY)
endforeach()

# The render checker the host checks rely on, finding the phrase in a
# recording that starts anywhere in the loop.
add_test(NAME wavcheck_tests COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/linux/wavcheck_test.py)

# The plug-ins in real hosts (tests/linux/host_checks.sh). Every host there
# ends within its own time limit; the timeout here is the last resort, far
# above the few seconds each check takes.
foreach(check exports lv2-tools lv2-presets ardour-lv2 ardour-vst2 ardour-vst3 ardour-crash ardour-lv2-presets
    ardour-vst3-presets jalv jalv-ui qtractor qtractor-clap)
  add_test(NAME host_${check} COMMAND ${CMAKE_SOURCE_DIR}/tests/linux/host_checks.sh ${check} ${CMAKE_BINARY_DIR})
  set_tests_properties(host_${check} PROPERTIES TIMEOUT 240 LABELS hosts)
endforeach()

# The Debian package (tests/packaging/deb_checks.sh): lintian on it, and the
# package installed system-wide while hosts look for it with their default
# paths, then removed. That one runs alone: no other test may meet the
# installed copy (other build trees' host checks wait on a lock file).
add_test(NAME package_lintian COMMAND ${CMAKE_SOURCE_DIR}/tests/packaging/deb_checks.sh lintian ${CMAKE_BINARY_DIR})
add_test(NAME package_installed COMMAND ${CMAKE_SOURCE_DIR}/tests/packaging/deb_checks.sh installed ${CMAKE_BINARY_DIR})
set_tests_properties(package_lintian package_installed PROPERTIES TIMEOUT 600 LABELS packaging)
set_tests_properties(package_installed PROPERTIES RUN_SERIAL TRUE)
endif()

# Every plug-in module's audio calls, probed for allocations, locks, waits and
# system calls.
include(${CMAKE_SOURCE_DIR}/tests/realtime/realtime.cmake)
endif() # VELDANE_TESTS
