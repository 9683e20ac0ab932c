# The Debian package veldane_<version>_amd64.deb, made by CPack from the
# install rules (packaging/install.cmake) under /usr: `cpack -G DEB` in the
# build tree, or the `package` target. Its dependencies are computed from the
# binaries by dpkg-shlibdeps (dpkg-dev), its copyright and changelog files are
# installed by the rules, and lintian finds no error in it
# (tests/packaging/deb_checks.sh).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME veldane)
set(CPACK_PACKAGE_VENDOR Orvandel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Orvandel <veldane@orvandel.com>")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://orvandel.com/plugins/veldane)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# The first line is the synopsis; CPack indents the rest as the extended
# description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "small subtractive synthesizer plug-in (LV2, VST 2.4, VST 3, CLAP)
Veldane is an eight-voice subtractive synthesizer: two band-limited
oscillators with hard sync and ring modulation, a resonant ladder or
two-pole filter, two ADSR envelopes, an LFO with a delayed fade-in, glide
and a slow random drift, with its own editor panel and 38 factory patches.
.
This package installs the plug-in for LV2 hosts (/usr/lib/lv2), Linux VST
2.4 hosts (/usr/lib/vst), VST 3 hosts (/usr/lib/vst3) and CLAP hosts
(/usr/lib/clap), where Ardour, Qtractor, Carla, REAPER, Bitwig Studio and
other Linux hosts find it without configuration, the factory patches as
VST 2.4 program files, the user's manual, and veldane-render, which renders
a MIDI file through the synthesizer to WAV or FLAC.")
include(CPack)
