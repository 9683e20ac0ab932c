# Linux: the editor's window is an X11 window (Xlib), and the images the
# Windows DLL carries as resources are linked into the library as bytes.
find_package(X11 REQUIRED)
target_sources(zem_editor PRIVATE framework/platform_window_x11.cpp)
target_link_libraries(zem_editor PUBLIC X11::X11)
target_sources(veldane_gfx PRIVATE gfx/embedded_images.cpp gfx/system_text_none.cpp)

# The version label at each scale, drawn at build time with Pillow and
# DejaVu Sans (the plug-in carries no font renderer; see ui/label_control.h),
# under the numbers ui/editor.h gives it (versionLabelImageId, 100 higher
# per scale).
set(veldane_image_dir ${CMAKE_BINARY_DIR}/images)
set(veldane_embedded_images "")
set(veldane_embedded_files "")
foreach(percent 100 150 200)
  math(EXPR id "106 + 100 * (${percent} - 100) / 50")
  set(label ${veldane_image_dir}/version_label_${percent}.png)
  add_custom_command(OUTPUT ${label}
    COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/scripts/make-images.py --label "${VELDANE_VERSION_LABEL}"
            ${label} ${percent}
    DEPENDS ${CMAKE_SOURCE_DIR}/scripts/make-images.py
    COMMENT "Drawing the version label at ${percent} %"
    VERBATIM)
  list(APPEND veldane_embedded_images "${id}=${label}")
  list(APPEND veldane_embedded_files ${label})
endforeach()

# The images of resources/veldane_scaled.rc (which holds those of
# resources/veldane.rc) under the numbers they give them.
foreach(rc veldane.rc veldane_scaled.rc)
  file(STRINGS ${CMAKE_SOURCE_DIR}/resources/${rc} veldane_rc_lines REGEX "^[0-9]+ PNG \"[^\"]+\"")
  foreach(line IN LISTS veldane_rc_lines)
    string(REGEX MATCH "^([0-9]+) PNG \"([^\"]+)\"" match "${line}")
    list(APPEND veldane_embedded_images "${CMAKE_MATCH_1}=${CMAKE_SOURCE_DIR}/${CMAKE_MATCH_2}")
    list(APPEND veldane_embedded_files ${CMAKE_SOURCE_DIR}/${CMAKE_MATCH_2})
  endforeach()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/${rc})
endforeach()
set(veldane_images_source ${veldane_image_dir}/library_images.cpp)
# One command-line word: '|' between the images instead of CMake's ';'.
string(REPLACE ";" "|" veldane_embedded_images "${veldane_embedded_images}")
add_custom_command(OUTPUT ${veldane_images_source}
  COMMAND ${CMAKE_COMMAND} -DOUTPUT=${veldane_images_source} -DTABLE=Veldane::libraryImages
          -DIMAGES=${veldane_embedded_images} -P ${CMAKE_SOURCE_DIR}/cmake/embed-images.cmake
  DEPENDS ${CMAKE_SOURCE_DIR}/cmake/embed-images.cmake ${veldane_embedded_files}
  COMMENT "Linking the editor's images in"
  VERBATIM)
target_sources(veldane_ui PRIVATE ${veldane_images_source})

if(VELDANE_TESTS)
# Hosting an editor in an X11 window and reading it back: the test host and
# the editor tests.
add_library(x11_capture STATIC tools/testhost/x11_capture.cpp)
target_include_directories(x11_capture PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(x11_capture PRIVATE ${VELDANE_WARNINGS})
target_link_libraries(x11_capture PUBLIC veldane_gfx X11::X11)
target_sources(testhost PRIVATE tools/testhost/editor_frame_x11.cpp)
target_link_libraries(testhost PRIVATE x11_capture)
if(VELDANE_CLAP)
  target_sources(claphost_core PRIVATE tools/claphost/gui_frame_x11.cpp)
  target_link_libraries(claphost_core PUBLIC x11_capture)
endif()

# The editor in a window of ours on a virtual display, driven with real
# pointer input (XTest).
if(NOT X11_XTest_FOUND)
  message(FATAL_ERROR "the X11 editor tests need XTest (Debian package libxtst-dev)")
endif()
add_executable(editor_x11_tests tests/editor/editor_x11_test.cpp tests/editor/x11_main.cpp)
target_compile_options(editor_x11_tests PRIVATE ${VELDANE_WARNINGS})
target_link_libraries(editor_x11_tests PRIVATE veldane_core x11_capture X11::Xtst GTest::gtest)
add_test(NAME editor_x11_tests
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/x11-run.sh $<TARGET_FILE:editor_x11_tests> --gtest_brief=1)

# The Linux and the Windows editor's pictures of the same state, compared
# pixel by pixel (scripts/test.sh, once both builds have taken theirs).
add_executable(compare_captures tools/compare_captures.cpp)
target_compile_options(compare_captures PRIVATE ${VELDANE_WARNINGS})
target_link_libraries(compare_captures PRIVATE veldane_ui)
# Where a host's screenshot shows the editor exactly as the test host
# captured it (the LV2 UI in jalv.gtk3).
add_executable(find_image tools/find_image.cpp)
target_compile_options(find_image PRIVATE ${VELDANE_WARNINGS})
target_link_libraries(find_image PRIVATE veldane_gfx)
endif() # VELDANE_TESTS
