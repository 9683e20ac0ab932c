# The real-time probe's test (tests/realtime): every built plug-in module,
# loaded by our hosts, must make no allocation, lock, wait or system call in
# its audio calls. The test program defines malloc and the rest itself (and
# exports them, so they win over the C library's in the modules it loads); a
# sanitizer that owns malloc leaves no room for that, so sanitizer trees do
# not build it.
if(VELDANE_SANITIZER)
  return()
endif()

# The plug-in of the test's own that makes every such call.
add_library(rt_bad_plugin MODULE tests/realtime/bad_plugin.cpp)
set_target_properties(rt_bad_plugin PROPERTIES PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
target_compile_options(rt_bad_plugin PRIVATE ${VELDANE_WARNINGS})
target_link_libraries(rt_bad_plugin PRIVATE veldane_base)

add_executable(realtime_tests tests/realtime/realtime_test.cpp tests/realtime/probe.cpp tests/realtime/interpose.c
  tools/testhost/plugin_library.cpp)
set_target_properties(realtime_tests PROPERTIES ENABLE_EXPORTS ON)
target_compile_options(realtime_tests PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${VELDANE_WARNINGS}> $<$<COMPILE_LANGUAGE:C>:-Wall -Wextra -Werror>)
target_compile_definitions(realtime_tests PRIVATE
  VELDANE_BAD_PLUGIN="$<TARGET_FILE:rt_bad_plugin>"
  VELDANE_VST2="$<TARGET_FILE:veldane_vst2_linux>"
  VELDANE_CLAP="$<TARGET_FILE:veldane_clap_linux>"
  VELDANE_LV2="$<TARGET_FILE:veldane_lv2_linux>"
  VELDANE_VST3_BUNDLE="${VELDANE_VST3_BUNDLE}")
target_link_libraries(realtime_tests PRIVATE veldane_vst2 claphost_core vst3host_core testhost_script testhost_support
  PkgConfig::LV2 GTest::gtest_main ${CMAKE_DL_LIBS})
add_dependencies(realtime_tests rt_bad_plugin veldane_vst2_linux veldane_clap_linux veldane_lv2_linux veldane_vst3_linux)
gtest_discover_tests(realtime_tests)
