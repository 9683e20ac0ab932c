#!/usr/bin/env bash
# The Debian package, made afresh from the build tree's install rules (cpack).
#
# usage: deb_checks.sh CHECK BUILD_DIR
#   lintian    lintian reports no error on the package
#   installed  the package installed system-wide with apt-get, as a user
#              installs it: while it is installed, lv2ls (no LV2_PATH), Ardour
#              7 (its default LV2, VST2 and VST3 paths), Qtractor's scanner (on
#              the files of its default VST2 and CLAP folders) and our CLAP
#              host's scan of the standard CLAP folders each find Veldane
#              where the package put it; then apt-get remove leaves none of
#              its files behind. The package is removed however the test ends
#              (a trap), and the test holds the machine's system plug-in lock
#              exclusively throughout (tests/linux/system_lock.sh), so no host
#              check here or in another build tree meets the installed copy.
#              A Veldane package installed before the test is left alone and
#              fails the test.
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: deb_checks.sh lintian|installed BUILD_DIR" >&2; exit 2; }
check=$1
build=$(cd "$2" && pwd)
top=$(cd "$(dirname "$0")/../.." && pwd)
hosts="$top/scripts/hosts"
out="$build/package-checks/$check"
rm -rf "$out"
mkdir -p "$out"
step() { echo "== $check: $*"; }

step "the package, from the install rules"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out/package" >"$out/cpack.log" 2>&1 ||
  { cat "$out/cpack.log"; exit 1; }
deb=$(ls "$out"/package/veldane_*_amd64.deb)
version=$(dpkg-deb -f "$deb" Version)
echo "$deb: version $version, depends on $(dpkg-deb -f "$deb" Depends)"

case $check in
  lintian)
    # lintian warns that it runs as root; every tag goes to the log, errors fail.
    lintian --tag-display-limit 0 "$deb" >"$out/lintian.txt" 2>&1 || true
    cat "$out/lintian.txt"
    if grep -q '^E: ' "$out/lintian.txt"; then
      echo "lintian reports errors" >&2
      exit 1
    fi
    ;;
  installed)
    source "$top/tests/linux/system_lock.sh"
    system_plugins_lock exclusive
    if dpkg-query -W -f='${Status}' veldane 2>/dev/null | grep -q 'installed$'; then
      echo "a veldane package is installed on this machine already; remove it (apt-get remove veldane) and run again" >&2
      exit 1
    fi
    apt_get() { DEBIAN_FRONTEND=noninteractive apt-get -y -q -o DPkg::Lock::Timeout=600 "$@"; }
    installed=
    remove() {
      local status=$?
      set +e
      # Purged, so not even dpkg's record of it stays.
      if [ -n "$installed" ]; then
        step "apt-get purge"
        apt_get purge veldane >"$out/purge.log" 2>&1 || { cat "$out/purge.log"; status=1; }
      fi
      exit $status
    }
    trap remove EXIT
    trap 'exit 130' INT TERM
    # apt's own user reads the package: it must be readable by anyone.
    chmod a+r "$deb"
    chmod a+x "$out" "$out/package"
    step "apt-get install ./$(basename "$deb")"
    installed=1
    apt_get install "$deb" >"$out/install.log" 2>&1 || { cat "$out/install.log"; exit 1; }
    dpkg-query -L veldane >"$out/files.txt"
    # Every host below runs with a home and configuration of its own.
    export HOME="$out/home"
    mkdir -p "$HOME"
    unset LV2_PATH CLAP_PATH VST_PATH VST2_PATH LXVST_PATH VST3_PATH

    step "lv2ls and lv2info with lilv's default path"
    lv2ls | tee "$out/lv2ls.txt" | grep -qx 'https://orvandel.com/plugins/veldane' ||
      { echo "lv2ls does not list Veldane" >&2; exit 1; }
    lv2info https://orvandel.com/plugins/veldane | grep -F 'Bundle:' | tee "$out/lv2info.txt" |
      grep -qF 'file:///usr/lib/lv2/veldane.lv2/' || { echo "lv2info finds another bundle" >&2; exit 1; }

    step "Ardour 7 with its default paths (the build tree's veldane.so scanned too, and not found)"
    "$hosts/ardour-list.sh" --scan /usr/lib/vst/veldane.so --scan /usr/lib/vst3/Veldane.vst3 \
      --scan "$build/vst/veldane.so" >"$out/ardour.tsv"
    grep -i veldane "$out/ardour.tsv" | tee "$out/ardour-veldane.tsv"
    awk -F'\t' '
      $1 == "lv2" && $3 == "https://orvandel.com/plugins/veldane" { lv2 = 1 }
      $1 == "vst2" && $4 == "/usr/lib/vst/veldane.so" { vst2 = 1 }
      $1 == "vst3" && index($4, "/usr/lib/vst3/Veldane.vst3/") == 1 { vst3 = 1 }
      tolower($2) ~ /veldane/ && $1 != "lv2" && index($4, "/usr/lib/") != 1 { other = 1 }
      END { exit !(lv2 && vst2 && vst3 && !other) }' "$out/ardour-veldane.tsv" ||
      { echo "Ardour does not find the installed LV2, VST2 and VST3 plug-ins, and them alone" >&2; exit 1; }

    step "Qtractor's scanner on every file of its default VST2 and CLAP folders"
    # Qtractor's defaults (qtractorPluginFactory): ~/.SUFFIX, then lib64 and lib
    # under /usr/local and /usr, for the suffixes vst2, lxvst and vst (VST2)
    # and clap.
    qtractor_folders() {
      local suffix
      for suffix in "$@"; do
        echo "$HOME/.$suffix" /usr/local/lib64/"$suffix" /usr/lib64/"$suffix" /usr/local/lib/"$suffix" /usr/lib/"$suffix"
      done | tr ' ' '\n'
    }
    {
      qtractor_folders vst2 lxvst vst | while read -r d; do [ -d "$d" ] && find "$d" -name '*.so'; done | sed 's/^/VST:/'
      qtractor_folders clap | while read -r d; do [ -d "$d" ] && find "$d" -name '*.clap'; done | sed 's/^/CLAP:/'
    } >"$out/qtractor-requests.txt"
    timeout 120 /usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan <"$out/qtractor-requests.txt" \
      >"$out/qtractor.txt" 2>"$out/qtractor.log" || true
    grep -F '|Veldane|' "$out/qtractor.txt" | tee "$out/qtractor-veldane.txt"
    grep -q '^VST|Veldane|.*|/usr/lib/vst/veldane.so|' "$out/qtractor-veldane.txt" &&
      grep -q '^CLAP|Veldane|.*|/usr/lib/clap/Veldane.clap|' "$out/qtractor-veldane.txt" ||
      { echo "Qtractor's scanner does not find the installed VST2 and CLAP plug-ins" >&2; exit 1; }

    step "our CLAP host's scan of the standard CLAP folders"
    "$build/claphost" scan 2>"$out/claphost.log" | tee "$out/claphost.tsv" |
      grep -qxF "$(printf '/usr/lib/clap/Veldane.clap\tcom.orvandel.veldane\tVeldane\tOrvandel\t%s' "$version")" ||
      { cat "$out/claphost.log"; echo "the CLAP scan does not find the installed plug-in" >&2; exit 1; }

    step "apt-get remove leaves none of its files"
    apt_get remove veldane >"$out/remove.log" 2>&1 || { cat "$out/remove.log"; exit 1; }
    left=0
    while read -r path; do
      case $path in /usr|/usr/lib|/usr/bin|/usr/share|/usr/share/doc|/usr/share/man|/usr/share/man/man1|/.) continue ;; esac
      if [ -e "$path" ] && { [ ! -d "$path" ] || [ -z "$(ls -A "$path")" ]; }; then
        echo "left behind: $path" >&2
        left=1
      fi
    done <"$out/files.txt"
    [ $left -eq 0 ] || exit 1
    ;;
  *)
    echo "deb_checks.sh: unknown check $check" >&2
    exit 2
    ;;
esac
echo "== $check: passed"
