#!/usr/bin/env bash
# The Windows installer under wine64, in a fresh prefix of the test's own:
# an older version installed silently with its defaults, then this version
# over it (/S, /D=, /VST2DIR32=); every file where it belongs, with the bytes
# of the archive's folder it was made from; the installed VST 2.4, VST 3 and
# CLAP plug-ins (the CLAP one found by our CLAP host's scan of the standard
# folders) play the demo phrase to the same samples; the uninstaller removes
# exactly what was installed: the prefix's program folders are as before,
# with the files planted there beforehand still in place.
# usage: installer_checks.sh DIST_WORK_DIR WIN64_BUILD_DIR OUT_DIR
#   DIST_WORK_DIR  packaging/make-dist.sh's work folder (the installer's
#                  staged files and lists), beside the dist folder "dist"
set -euo pipefail
[ $# -eq 3 ] || { echo "usage: installer_checks.sh DIST_WORK_DIR WIN64_BUILD_DIR OUT_DIR" >&2; exit 2; }
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(cd "$1" && pwd)
win64=$(cd "$2" && pwd)
out=$3
rm -rf "$out"
mkdir -p "$out"
out=$(cd "$out" && pwd)
step() { echo "== installer: $*"; }

stage=$(ls -d "$work"/windows/Veldane-*-windows)
version=${stage##*/Veldane-}
version=${version%-windows}
setup="$work/../dist/Veldane-$version-setup.exe"
[ -f "$setup" ] || { echo "no installer $setup" >&2; exit 1; }

export WINEPREFIX="$out/prefix"
run() { "$top/scripts/wine-run.sh" "$@"; }
# Every wine process of the prefix has ended (the uninstaller hands itself
# to a copy that outlives the first process).
settle() { wineserver -w; }
cleanup() {
  local status=$?
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  [ $status -ne 0 ] || rm -rf "$WINEPREFIX"
  exit $status
}
trap cleanup EXIT
trap 'exit 130' INT TERM

step "a fresh 64-bit prefix"
run --prefix-only "$win64/vst3host.exe"
c="$WINEPREFIX/drive_c"
programs="$c/Program Files"
common="$programs/Common Files"
# Another vendor's plug-ins in the folders Veldane shares, which must survive.
mkdir -p "$common/VST3/Other.vst3/Contents/x86_64-win" "$common/CLAP" "$programs/Steinberg/VSTPlugins"
echo other >"$common/VST3/Other.vst3/Contents/x86_64-win/Other.vst3"
echo other >"$common/CLAP/Other.clap"
echo other >"$programs/Steinberg/VSTPlugins/Other.dll"
snapshot() { (cd "$c" && { find "Program Files" "Program Files (x86)" "ProgramData/VST3 Presets" Audio 2>/dev/null ||
  true; } | LC_ALL=C sort); }
registered() { run reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Veldane' /reg:64 /v "$1" 2>/dev/null |
  awk -v name="$1" '$1 == name { sub(/.*REG_[A-Z_]+[ \t]+/, ""); print }' | tr -d '\r'; }
snapshot >"$out/before.txt"

step "an older version (0.0.1, with a patch this one no longer ships), silently with its defaults"
old="$out/old"
cp -r "$stage" "$old"
echo old >"$old/Presets/Retired Patch.fxp"
sed 's/^\(!macro PresetFiles ACTION\)$/\1\n  !insertmacro ${ACTION} "Presets" "Retired Patch.fxp"/' "$work/files.nsh" >"$out/old-files.nsh"
makensis -V1 -DVERSION=0.0.1 -DSTAGE="$old" -DFILES="$out/old-files.nsh" -DOUTFILE="$out/old-setup.exe" \
  "$top/packaging/windows/veldane.nsi"
run "$out/old-setup.exe" /S
settle
[ -f "$programs/Orvandel/Veldane/Presets/Retired Patch.fxp" ] || { echo "the older version did not install" >&2; exit 1; }
[ "$(registered DisplayVersion)" = 0.0.1 ] || { echo "the older version is not registered" >&2; exit 1; }

step "this version over it: /S /VST2DIR32=C:\\Audio\\VST32 /D=C:\\Audio\\Veldane"
run "$setup" /S '/VST2DIR32=C:\Audio\VST32' '/D=C:\Audio\Veldane'
settle
[ "$(registered DisplayVersion)" = "$version" ] || { echo "DisplayVersion is not $version" >&2; exit 1; }
home="$c/Audio/Veldane"
failed=0
same() {  # same STAGED INSTALLED: the same files with the same bytes
  if diff -r "$1" "$2" >"$out/diff.txt" 2>&1; then echo "  ${2#"$c"/}: as staged"; else
    cat "$out/diff.txt"; echo "  ${2#"$c"/}: differs from ${1#"$stage"/}" >&2; failed=1; fi
}
same "$stage/VST3/Veldane.vst3" "$common/VST3/Veldane.vst3"
same "$stage/CLAP/Veldane.clap" "$common/CLAP/Veldane.clap"
same "$stage/VST2 64-bit/Veldane.dll" "$programs/Steinberg/VSTPlugins/Veldane.dll"
same "$stage/VST2 32-bit/Veldane.dll" "$c/Audio/VST32/Veldane.dll"
same "$stage/Presets" "$home/Presets"
same "$stage/VST3 Presets/Orvandel" "$c/ProgramData/VST3 Presets/Orvandel"
same "$stage/Manual" "$home/Manual"
same "$stage/LICENSE.txt" "$home/LICENSE.txt"
same "$stage/NOTICE.txt" "$home/NOTICE.txt"
[ ! -e "$programs/Orvandel" ] || { echo "the older version's folder is still there" >&2; failed=1; }
[ $failed -eq 0 ] || exit 1

step "the installed plug-ins play the demo phrase"
demo="$top/tools/testhost/demo.txt"
run "$win64/testhost.exe" render 'C:\Program Files\Steinberg\VSTPlugins\Veldane.dll' "$demo" "$out/vst2.wav"
run "$win64/vst3host.exe" render 'C:\Program Files\Common Files\VST3\Veldane.vst3' "$demo" "$out/vst3.wav"
run "$win64/claphost.exe" scan >"$out/clap-scan.tsv" 2>"$out/clap-scan.log" || { cat "$out/clap-scan.log"; exit 1; }
cat "$out/clap-scan.tsv"
clap=$(awk -F'\t' '$2 == "com.orvandel.veldane" { print $1 }' "$out/clap-scan.tsv" | tr -d '\r')
[ "$(awk -F'\t' '$2 == "com.orvandel.veldane" { print $5 }' "$out/clap-scan.tsv" | tr -d '\r')" = "$version" ] ||
  { echo "the CLAP scan does not find Veldane $version" >&2; exit 1; }
run "$win64/claphost.exe" render "$clap" "$demo" "$out/clap.wav"
run "$win64/vst3host.exe" presets 'C:\Program Files\Common Files\VST3\Veldane.vst3' \
  'C:\ProgramData\VST3 Presets\Orvandel\Veldane' >"$out/vst3-presets.txt"
tail -n 1 "$out/vst3-presets.txt"
patches=$(ls "$stage/VST3 Presets/Orvandel/Veldane" | wc -l)
grep -q "; $patches preset files, $patches loaded" "$out/vst3-presets.txt" ||
  { echo "the VST 3 plug-in does not load the $patches installed preset files" >&2; exit 1; }
# The built DLL's render is held to the accepted checksum by golden_dll_test.
run "$win64/testhost.exe" render "$win64/Veldane.dll" "$demo" "$out/built.wav"
for format in vst2 vst3 clap; do
  cmp -s "$out/$format.wav" "$out/built.wav" || { echo "the installed $format plug-in plays other samples" >&2; exit 1; }
done
echo "  VST 2.4, VST 3 and CLAP as installed: the built DLL's samples"

step "the uninstaller"
run "$home/Uninstall Veldane.exe" /S
settle
snapshot >"$out/after.txt"
diff "$out/before.txt" "$out/after.txt" || { echo "the uninstaller left the folders otherwise than it found them" >&2; exit 1; }
[ -z "$(registered DisplayName)" ] || { echo "Veldane is still registered" >&2; exit 1; }
echo "== installer: passed"
