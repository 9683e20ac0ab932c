#!/usr/bin/env bash
# Makes what users download, from the built trees (native, win32, win64), into
# one folder:
#   veldane_<version>_amd64.deb            the Debian package (CPack, packaging/deb.cmake)
#   Veldane-<version>-setup.exe            the Windows installer (NSIS, packaging/windows/veldane.nsi)
#   Veldane-<version>-linux-x86_64.tar.gz  the install tree of packaging/install.cmake, as
#                                          `cmake --install` lays it out, and a README
#   Veldane-<version>-windows.zip          the Windows files by format, and a README
#   SHA256SUMS                             their checksums (sha256sum -c SHA256SUMS)
# and lists them with their sizes. The archives' folders are the staging
# trees the package and the installer are made from (WORK/linux, WORK/windows),
# so tests can compare an archive with what gets installed.
# usage: make-dist.sh BUILD_DIR DIST_DIR [WORK_DIR]
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: make-dist.sh BUILD_DIR DIST_DIR [WORK_DIR]" >&2; exit 64; }
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
dist=$2
work=${3:-$build/dist-work}
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/native/CMakeCache.txt")
[ -n "$version" ] || { echo "make-dist.sh: no version in $build/native/CMakeCache.txt" >&2; exit 1; }
rm -rf "$work"
mkdir -p "$dist" "$work"
dist=$(cd "$dist" && pwd)

# Archives that hold the same bytes for the same files: sorted names, one
# owner, the time of the last commit on every entry.
stamp=$(git -C "$top" log -1 --format=%ct 2>/dev/null || date +%s)
readme() { sed "s/@VERSION@/$version/g" "$1" >"$2"; }

# --- Linux: the package and the install tree ---------------------------------------
cmake --build "$build/native" --target veldane_install_files -- --no-print-directory >"$work/build.log" 2>&1 ||
  { cat "$work/build.log" >&2; exit 1; }
cpack -G DEB --config "$build/native/CPackConfig.cmake" -B "$work/deb" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; exit 1; }
deb="veldane_${version}_amd64.deb"
cp "$work/deb/$deb" "$dist/"

linux="Veldane-$version-linux-x86_64"
cmake --install "$build/native" --prefix "$work/linux/$linux" --strip >/dev/null
readme "$top/packaging/linux/README.txt" "$work/linux/$linux/README.txt"
tar -C "$work/linux" --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$stamp" \
  -cf - "$linux" | gzip -9n >"$dist/$linux.tar.gz"

# --- Windows: the files by format, the installer made from them ---------------------
windows="Veldane-$version-windows"
stage="$work/windows/$windows"
mkdir -p "$stage/VST3" "$stage/CLAP" "$stage/VST2 64-bit" "$stage/VST2 32-bit" "$stage/Presets" \
  "$stage/VST3 Presets" "$stage/Manual/images"
cp -r "$build/win64/vst3/Veldane.vst3" "$stage/VST3/"
cp "$build/win64/Veldane.clap" "$stage/CLAP/"
cp "$build/win64/Veldane.dll" "$stage/VST2 64-bit/"
cp "$build/win32/Veldane.dll" "$stage/VST2 32-bit/"
cp "$build/native/presets/"*.fxp "$stage/Presets/"
# The .vstpreset files are the same on every system; the native build writes them.
cp -r "$build/native/vst3-presets/Orvandel" "$stage/VST3 Presets/"
cp "$top/docs/manual.md" "$stage/Manual/"
cp "$top/docs/images/editor.png" "$stage/Manual/images/"
# Windows' own line ends for the texts people open in Notepad.
for text in LICENSE NOTICE; do sed 's/$/\r/' "$top/$text" >"$stage/$text.txt"; done
readme "$top/packaging/windows/README.txt" "$work/readme.txt"
sed 's/$/\r/' "$work/readme.txt" >"$stage/README.txt"
find "$stage" -exec touch -h -d "@$stamp" {} +
(cd "$work/windows" && find "$windows" -type f | LC_ALL=C sort | zip -X -q -9 "$dist/$windows.zip" -@)

# The files of the folders under the installer's own folder, one macro per
# folder, so the uninstaller removes exactly these.
nsis_list() {  # nsis_list MACRO FOLDER: the folder's files, as "!insertmacro ACTION FOLDER FILE"
  echo "!macro $1 ACTION"
  (cd "$stage" && find "$2" -type f | LC_ALL=C sort) | while read -r file; do
    local dir=${file%/*}
    printf '  !insertmacro ${ACTION} "%s" "%s"\n' "${dir//\//\\}" "${file##*/}"
  done
  echo "!macroend"
}
{
  echo "; The files of the installer's Presets, VST3 Presets and Manual folders (packaging/make-dist.sh)."
  nsis_list PresetFiles Presets
  nsis_list Vst3PresetFiles "VST3 Presets/Orvandel/Veldane"
  nsis_list ManualFiles Manual
  echo "!macro ManualFolders CMD"
  (cd "$stage" && find Manual -depth -type d) | while read -r dir; do
    printf '  ${CMD} "$INSTDIR\\%s"\n' "${dir//\//\\}"
  done
  echo "!macroend"
} >"$work/files.nsh"
setup="Veldane-$version-setup.exe"
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DFILES="$work/files.nsh" -DOUTFILE="$dist/$setup" \
  "$top/packaging/windows/veldane.nsi" >"$work/makensis.log" 2>&1 || { cat "$work/makensis.log" >&2; exit 1; }

# --- checksums and the list -----------------------------------------------------------
artefacts=("$deb" "$setup" "$linux.tar.gz" "$windows.zip")
(cd "$dist" && sha256sum "${artefacts[@]}" >SHA256SUMS)
echo "Veldane $version for users, in $dist:"
(cd "$dist" && for f in "${artefacts[@]}" SHA256SUMS; do
  printf '  %-40s %8s\n' "$f" "$(numfmt --to=iec-i --suffix=B --format='%.1f' "$(stat -c %s "$f")")"
done)
