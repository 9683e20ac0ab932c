# Windows-only targets: the plug-in DLL and the test host.
add_library(Veldane SHARED
  synth/dll_main.cpp
  synth/veldane.def
)
set_target_properties(Veldane PROPERTIES PREFIX "" OUTPUT_NAME "Veldane")
target_compile_options(Veldane PRIVATE ${VELDANE_WARNINGS})
target_link_libraries(Veldane PRIVATE veldane_core)
