# What `cmake --install` puts where (native build; included from
# cmake/native.cmake), and with it the Debian package (packaging/deb.cmake)
# and the Linux archive (packaging/make-dist.sh), which are made from these
# rules alone. Each part's place is written here once, relative to the
# install prefix (/usr for the package, /usr/local by default), so the tree
# can be installed anywhere.
#
# The plug-ins go where Linux hosts look without being told (ahead of any
# GNUInstallDirs multiarch library folder, which no host searches):
#   lib/lv2/veldane.lv2/   LV2: lilv's default path (~/.lv2, /usr/local/lib/lv2,
#                          /usr/lib/lv2), hence every LV2 host
#   lib/vst/veldane.so     VST 2.4: the one folder Ardour 7 and Qtractor both
#                          search by default (Ardour: lib/vst, lib/lxvst and
#                          lib/linux_vst under /usr and /usr/local; Qtractor:
#                          ~/.vst, lib/vst, lib/lxvst and lib/vst2 under /usr,
#                          /usr/local and their lib64). LMMS 1.2 loads no Linux
#                          VST plug-ins (Windows DLLs through wine only, from
#                          a folder the user picks, ~/lmms/plugins/vst).
#   lib/vst3/Veldane.vst3/ VST 3: the standard Linux folder (/usr/lib/vst3,
#                          /usr/local/lib/vst3, ~/.vst3)
#   lib/clap/Veldane.clap  CLAP: the standard Linux folder (/usr/lib/clap,
#                          ~/.clap; hosts add CLAP_PATH)
#   share/vst3/presets/Orvandel/Veldane/*.vstpreset
#                          the factory patches for VST 3 hosts, in the folder
#                          where they look for a maker's presets (Ardour:
#                          /usr/share/vst3/presets, /usr/local/share/vst3/presets,
#                          ~/.vst3/presets)
# and the renderer, its manual page, the factory patches and the manual by
# GNUInstallDirs.
if(VELDANE_SANITIZER)
  return()
endif()

include(GNUInstallDirs)

set(VELDANE_INSTALL_LV2 lib/lv2)
set(VELDANE_INSTALL_VST2 lib/vst)
set(VELDANE_INSTALL_VST3 lib/vst3)
set(VELDANE_INSTALL_CLAP lib/clap)
set(VELDANE_INSTALL_PRESETS ${CMAKE_INSTALL_DATADIR}/veldane/presets)
set(VELDANE_INSTALL_VST3_PRESETS ${CMAKE_INSTALL_DATADIR}/vst3/presets)
# Named after the package, as Debian wants it (GNUInstallDirs would take the
# project's name).
set(VELDANE_INSTALL_DOC ${CMAKE_INSTALL_DATAROOTDIR}/doc/veldane)

# Plug-in modules are loaded, never run: not executable (Debian's rule for
# shared objects).
set(veldane_module_permissions PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

install(TARGETS veldane_vst2_linux LIBRARY DESTINATION ${VELDANE_INSTALL_VST2} ${veldane_module_permissions})
install(TARGETS veldane_lv2_linux veldane_lv2_ui_linux
  LIBRARY DESTINATION ${VELDANE_INSTALL_LV2}/veldane.lv2 ${veldane_module_permissions})
install(FILES ${VELDANE_LV2_TURTLE} DESTINATION ${VELDANE_INSTALL_LV2}/veldane.lv2)
install(TARGETS veldane_vst3_linux
  LIBRARY DESTINATION ${VELDANE_INSTALL_VST3}/Veldane.vst3/Contents/x86_64-linux ${veldane_module_permissions})
install(TARGETS veldane_clap_linux LIBRARY DESTINATION ${VELDANE_INSTALL_CLAP} ${veldane_module_permissions})

install(TARGETS veldane-render RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${VELDANE_PRESETS_DIR}/ DESTINATION ${VELDANE_INSTALL_PRESETS} FILES_MATCHING PATTERN "*.fxp")
install(DIRECTORY ${VELDANE_VST3_PRESETS_DIR}/ DESTINATION ${VELDANE_INSTALL_VST3_PRESETS}
  FILES_MATCHING PATTERN "*.vstpreset")

# The manual page and the changelog compressed as Debian wants them (gzip -9,
# no name or time stamp, so the same sources make the same bytes).
set(veldane_packaging_dir ${CMAKE_BINARY_DIR}/packaging)
function(veldane_gzip source output)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${veldane_packaging_dir}
    COMMAND sh -c "gzip -9n <\"$0\" >\"$1\"" ${source} ${output}
    DEPENDS ${source}
    VERBATIM)
endfunction()
configure_file(${CMAKE_SOURCE_DIR}/docs/veldane-render.1.in ${veldane_packaging_dir}/veldane-render.1 @ONLY)
veldane_gzip(${veldane_packaging_dir}/veldane-render.1 ${veldane_packaging_dir}/veldane-render.1.gz)
veldane_gzip(${CMAKE_SOURCE_DIR}/packaging/debian/changelog ${veldane_packaging_dir}/changelog.gz)
add_custom_target(veldane_packaging_files ALL
  DEPENDS ${veldane_packaging_dir}/veldane-render.1.gz ${veldane_packaging_dir}/changelog.gz)
install(FILES ${veldane_packaging_dir}/veldane-render.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The changelog's newest entry must be this version: the package's history
# and its version may not disagree.
file(STRINGS ${CMAKE_SOURCE_DIR}/packaging/debian/changelog veldane_changelog_top LIMIT_COUNT 1)
if(NOT veldane_changelog_top MATCHES "^veldane \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/debian/changelog begins with \"${veldane_changelog_top}\"; "
    "its newest entry must be for version ${PROJECT_VERSION}")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/packaging/debian/changelog)

# Debian's machine-readable copyright file: the licence (LICENSE, written once)
# and the libraries the binaries link (NOTICE).
file(READ ${CMAKE_SOURCE_DIR}/LICENSE veldane_license)
string(REGEX REPLACE "\n+$" "" veldane_license "${veldane_license}")
string(REGEX REPLACE "\n\n" "\n.\n" veldane_license "${veldane_license}")
string(REGEX REPLACE "\n" "\n " veldane_license "${veldane_license}")
configure_file(${CMAKE_SOURCE_DIR}/packaging/debian/copyright.in ${veldane_packaging_dir}/copyright @ONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/LICENSE)
install(FILES ${veldane_packaging_dir}/copyright ${veldane_packaging_dir}/changelog.gz ${CMAKE_SOURCE_DIR}/NOTICE
  ${CMAKE_SOURCE_DIR}/docs/manual.md DESTINATION ${VELDANE_INSTALL_DOC})
install(FILES ${CMAKE_SOURCE_DIR}/docs/images/editor.png DESTINATION ${VELDANE_INSTALL_DOC}/images)

# Everything the rules install, as one target: what packaging/make-dist.sh
# builds before it installs from a tree built only in part. Installing (and
# CPack) then never builds the rest of the tree, the tests and tools.
add_custom_target(veldane_install_files)
add_dependencies(veldane_install_files veldane_vst2_linux veldane_lv2_linux veldane_lv2_ui_linux veldane_lv2_turtle
  veldane_vst3_linux veldane_clap_linux veldane-render factory_presets veldane_vst3_presets veldane_packaging_files)
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

include(${CMAKE_SOURCE_DIR}/packaging/deb.cmake)
