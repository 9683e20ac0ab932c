#!/usr/bin/env bash
# What users download, made by packaging/make-dist.sh into OUT_DIR/dist (its
# work folder OUT_DIR/work is the installer test's), against the install
# layout: the Linux archive holds exactly what `cmake --install` installs
# (and its README), the Debian package the same files under /usr, the Windows
# archive the built Windows files, each in its format's folder; the checksums
# hold, and every name carries the project's version.
# usage: dist_checks.sh BUILD_ROOT OUT_DIR   (BUILD_ROOT holds native, win32, win64)
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: dist_checks.sh BUILD_ROOT OUT_DIR" >&2; exit 2; }
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
out=$2
rm -rf "$out"
mkdir -p "$out"
out=$(cd "$out" && pwd)
dist="$out/dist"
failed=0
problem() { echo "$*" >&2; failed=1; }

bash "$top/packaging/make-dist.sh" "$build" "$dist" "$out/work"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/native/CMakeCache.txt")
deb="veldane_${version}_amd64.deb"
linux="Veldane-$version-linux-x86_64"
windows="Veldane-$version-windows"

echo "== the checksums"
(cd "$dist" && sha256sum -c SHA256SUMS)
[ "$(ls "$dist" | LC_ALL=C sort | xargs)" = "SHA256SUMS $linux.tar.gz Veldane-$version-setup.exe $windows.zip $deb" ] ||
  problem "dist holds other files: $(ls "$dist" | xargs)"

echo "== the Linux archive: the install tree, and its README"
mkdir -p "$out/tar" "$out/installed/$linux"
tar -C "$out/tar" -xzf "$dist/$linux.tar.gz"
[ "$(ls "$out/tar")" = "$linux" ] || problem "the archive's top folder is not $linux"
cmake --install "$build/native" --prefix "$out/installed/$linux" --strip >/dev/null
diff -r -x README.txt "$out/installed/$linux" "$out/tar/$linux" || problem "the Linux archive is not the install tree"
grep -q "Veldane $version" "$out/tar/$linux/README.txt" || problem "the Linux archive's README names no version $version"
for file in lib/lv2/veldane.lv2/manifest.ttl lib/lv2/veldane.lv2/veldane.so lib/vst/veldane.so \
  lib/vst3/Veldane.vst3/Contents/x86_64-linux/Veldane.so lib/clap/Veldane.clap bin/veldane-render \
  share/man/man1/veldane-render.1.gz "share/veldane/presets/Warm Pad.fxp" \
  "share/vst3/presets/Orvandel/Veldane/Warm Pad.vstpreset" share/doc/veldane/NOTICE; do
  [ -f "$out/tar/$linux/$file" ] || problem "the Linux archive has no $file"
done
[ "$("$out/tar/$linux/bin/veldane-render" --version)" = "veldane-render $version" ] ||
  problem "veldane-render does not report $version"

echo "== the Debian package: the same files under /usr"
dpkg-deb -x "$dist/$deb" "$out/deb"
[ "$(dpkg-deb -f "$dist/$deb" Version)" = "$version" ] || problem "the package's version is not $version"
diff -r -x README.txt "$out/deb/usr" "$out/tar/$linux" || problem "the package's files differ from the install tree"

echo "== the Windows archive: the built files by format"
mkdir -p "$out/zip"
(cd "$out/zip" && unzip -q "$dist/$windows.zip")
zip="$out/zip/$windows"
same() { diff -r "$1" "$2" >/dev/null || problem "${2#"$zip"/} is not ${1#"$build"/}"; }
same "$build/win64/vst3/Veldane.vst3" "$zip/VST3/Veldane.vst3"
same "$build/win64/Veldane.clap" "$zip/CLAP/Veldane.clap"
same "$build/win64/Veldane.dll" "$zip/VST2 64-bit/Veldane.dll"
same "$build/win32/Veldane.dll" "$zip/VST2 32-bit/Veldane.dll"
for fxp in "$build/native/presets/"*.fxp; do same "$fxp" "$zip/Presets/${fxp##*/}"; done
[ "$(ls "$zip/Presets" | wc -l)" = "$(ls "$build/native/presets/"*.fxp | wc -l)" ] || problem "Presets holds other files"
same "$build/native/vst3-presets/Orvandel" "$zip/VST3 Presets/Orvandel"
same "$top/docs/manual.md" "$zip/Manual/manual.md"
[ "$(tr -d '\r' <"$zip/LICENSE.txt")" = "$(cat "$top/LICENSE")" ] || problem "LICENSE.txt is not LICENSE"
[ "$(tr -d '\r' <"$zip/NOTICE.txt")" = "$(cat "$top/NOTICE")" ] || problem "NOTICE.txt is not NOTICE"
grep -q "Veldane $version" "$zip/README.txt" || problem "the Windows archive's README names no version $version"
# The installer is made from the archive's folder: the two are one.
diff -r "$out/work/windows/$windows" "$zip" || problem "the Windows archive is not the installer's source"
[ $failed -eq 0 ] || exit 1
echo "== dist: passed"
