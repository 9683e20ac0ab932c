#!/usr/bin/env bash
# Veldane's Linux plug-ins in real hosts, through the scripts in scripts/hosts
# (which start every host from nothing, end each process by its id and clean
# up after themselves). One check per call; CTest runs each as a test of its
# own. Results and logs go to BUILD_DIR/host-checks/CHECK.
#
# usage: host_checks.sh CHECK BUILD_DIR
#   exports      each module exports its entry and nothing else; the LV2
#                plug-in's own library links no window system (its UI does)
#   lv2-tools    lv2_validate passes on the bundle; lv2info's ports match the
#                table; every control port is in its panel section's group
#   lv2-presets  lv2info lists every factory patch as a preset; jalv applies
#                one, and every control value it then holds gives the patch
#   ardour-lv2   Ardour 7 with the LV2 plug-in: the phrase rendered and checked
#                for pitch and level, the parameter list against the table,
#                parameters recalled by a saved session in a new process
#   ardour-vst2  the same with veldane.so
#   ardour-vst3  the same with the Veldane.vst3 bundle
#   ardour-crash a plug-in of the tests' own that aborts Ardour at teardown,
#                after a correct export: the render must fail all the same
#   ardour-lv2-presets  the presets Ardour lists for the LV2 plug-in (every
#                factory patch), one loaded by name and rendered (pitch and
#                level), its values as a saved session gives them back in a
#                new process
#   ardour-vst3-presets  the same with the Veldane.vst3 bundle, whose presets
#                are its programs and the build's .vstpreset files (in a
#                preset folder of the run's own). (VST 2.4 has no presets of
#                its own: its users load the .fxp files.)
#   jalv         jalv on a JACK dummy server plays the phrase from jack_midiseq
#                into jack_rec; the recording is checked
#   jalv-ui      jalv.gtk3 on a virtual display shows the LV2 plug-in's own UI:
#                its screenshot holds, pixel for pixel, the picture our test
#                host takes of veldane.so's editor at the same (default) values
#   qtractor     Qtractor's scanner loads veldane.so: an instrument with 39
#                parameters and one output, with an editor
#   qtractor-clap  the same with Veldane.clap, whose read-only placeholder
#                the scanner counts as an output parameter (38 in, 1 out)
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: host_checks.sh CHECK BUILD_DIR" >&2; exit 2; }
check=$1
build=$(cd "$2" && pwd)
top=$(cd "$(dirname "$0")/../.." && pwd)
hosts="$top/scripts/hosts"
out="$build/host-checks/$check"
rm -rf "$out"
mkdir -p "$out"
so="$build/vst/veldane.so"
clap="$build/clap/Veldane.clap"
bundle="$build/lv2/veldane.lv2"
vst3="$build/vst3/Veldane.vst3"
vst3_presets="$build/vst3-presets"
view="$build/host_view_check"
# A patch whose notes speak at their pitch from the start, and that sets
# enough (waveform, shape, filter, envelopes) to tell a loaded preset.
preset_patch="Funky Clav"

step() { echo "== $check: $*"; }

# Hosts also search the system's folders: none may meet an installed copy of
# Veldane (the package test installs one) while a check runs.
source "$top/tests/linux/system_lock.sh"
system_plugins_lock shared

# render_watched KIND:ID OUT.wav: renders the phrase in Ardour with the mix
# probe preloaded, and fails unless Ardour mixed with its SSE routines alone
# and none of them wrote past a buffer (the AVX-512 ones of Ardour 7.3 do;
# scripts/hosts/common.sh keeps Ardour from them).
render_watched() {
  local report="$out/mix-probe.txt"
  rm -f "$report"
  LD_PRELOAD="$build/ardour_mix_probe.so" VELDANE_MIX_PROBE_REPORT="$report" \
    "$hosts/ardour-render.sh" "$1" "$2"
  cat "$report"
  awk '{ avx += $4; over += $5 + $8; sse += $7 }
       END { if (avx || over || !sse) { printf "Ardour mixed with AVX-512 %d times, SSE %d times, %d overruns\n", avx, sse, over; exit 1 } }' \
    "$report" >&2
}

# ardour KIND PLUGIN NAME=VALUE...: render, parameter list and state recall;
# the values are in the plug-in's units as Ardour sees them.
ardour() {
  local kind=$1 plugin=$2
  shift 2
  step "render the phrase"
  render_watched "$plugin" "$out/render.wav"
  python3 "$hosts/wavcheck.py" "$out/render.wav"
  step "parameters as Ardour lists them"
  "$hosts/ardour-params.sh" "$plugin" >"$out/params.tsv"
  "$view" "ardour-$kind" "$out/params.tsv"
  step "state recall across a save and a new process"
  "$hosts/ardour-recall.sh" "$plugin" "$@"
}

# ardour_presets KIND PLUGIN [PRESET_OPTIONS...]: the presets Ardour lists,
# and one loaded by name, rendered and read back from the saved session.
ardour_presets() {
  local kind=$1 plugin=$2
  shift 2
  step "the presets Ardour lists"
  "$hosts/ardour-presets.sh" "$@" "$plugin" >"$out/presets.tsv"
  "$view" ardour-presets "$out/presets.tsv"
  step "the preset \"$preset_patch\" loaded by name and rendered"
  "$hosts/ardour-render.sh" --preset "$preset_patch" --values "$out/preset-values.tsv" "$plugin" "$out/preset.wav"
  python3 "$hosts/wavcheck.py" "$out/preset.wav"
  "$view" "ardour-preset-$kind" "$out/preset-values.tsv" "$preset_patch"
}

case $check in
  exports)
    for module in "$so:VSTPluginMain" "$bundle/veldane.so:lv2_descriptor" "$bundle/veldane_ui.so:lv2ui_descriptor" \
      "$clap:clap_entry" "$vst3/Contents/x86_64-linux/Veldane.so:GetPluginFactory ModuleEntry ModuleExit"; do
      exported=$(nm -D --defined-only --format=just-symbols "${module%%:*}" | sort | xargs)
      echo "${module%%:*}: $exported"
      [ "$exported" = "${module#*:}" ] || { echo "expected ${module#*:} alone" >&2; exit 1; }
    done
    if readelf -d "$bundle/veldane.so" | grep -q 'NEEDED.*libX11'; then
      echo "$bundle/veldane.so links libX11" >&2
      exit 1
    fi
    ;;
  lv2-tools)
    step "lv2_validate and lv2info"
    "$hosts/lv2-check.sh" "$bundle" >"$out/ports.tsv"
    "$view" lv2info "$out/ports.tsv"
    step "port groups"
    "$hosts/lv2-check.sh" --groups "$bundle" >"$out/groups.tsv"
    "$view" lv2-groups "$out/groups.tsv"
    ;;
  lv2-presets)
    step "the presets lv2info lists"
    "$hosts/lv2-check.sh" --presets "$bundle" >"$out/labels.txt"
    "$view" presets "$out/labels.txt"
    # A patch that turns switches both ways and sets entries, whole numbers
    # and logarithmic, linear and gain controls; its URI from the bundle.
    patch="Sync Lead"
    uri=$(sordi -i turtle -o ntriples "$bundle/presets.ttl" "file://$bundle/presets.ttl" |
      grep -F "<http://www.w3.org/2000/01/rdf-schema#label> \"$patch\" ." | cut -d' ' -f1 | tr -d '<>')
    [ -n "$uri" ] || { echo "presets.ttl has no preset labelled $patch" >&2; exit 1; }
    step "jalv applies $uri"
    "$hosts/jalv-preset.sh" "$bundle" "$uri" >"$out/controls.tsv"
    "$view" preset "$out/controls.tsv" "$patch"
    ;;
  ardour-lv2)
    ardour lv2 "lv2:$bundle" "Filter Cutoff=1234.5" "Voice Mode=1" "Osc2 Sync=1" "Master Tune=-5" "Amp Release=250"
    ;;
  ardour-lv2-presets)
    ardour_presets lv2 "lv2:$bundle"
    ;;
  ardour-vst2)
    ardour vst2 "vst2:$so" "Filter Cutoff=0.25" "Voice Mode=0.5" "Osc2 Sync=1" "Master Tune=0.25" "Amp Release=0.6"
    ;;
  ardour-vst3)
    # Values in Ardour's plain units for VST 3: 0..1 for real-valued
    # parameters, entry numbers, integers and 0/1 for the stepped ones.
    ardour vst3 "vst3:$vst3" "Filter Cutoff=0.25" "Voice Mode=1" "Osc2 Sync=1" "Master Tune=-5" "Amp Release=0.6"
    ;;
  ardour-crash)
    # The export is complete and right, then the host aborts while it tears
    # the session down: that must fail the render, never be taken as success.
    step "render with a plug-in that aborts Ardour at teardown"
    # A failing script keeps its work folder: here it goes into ours.
    mkdir -p "$out/tmp"
    status=0
    TMPDIR="$out/tmp" "$hosts/ardour-render.sh" "lv2:$build/tests/teardown_abort.lv2" "$out/render.wav" \
      2>"$out/render.log" || status=$?
    cat "$out/render.log"
    python3 "$hosts/wavcheck.py" "$out/render.wav"
    [ $status -ne 0 ] || { echo "ardour-render.sh reported success although Ardour aborted" >&2; exit 1; }
    grep -q 'export failed (status 134' "$out/render.log" ||
      { echo "the render failed, but not because Ardour aborted" >&2; exit 1; }
    ;;
  ardour-vst3-presets)
    ardour_presets vst3 "vst3:$vst3" --vst3-presets "$vst3_presets"
    ;;
  jalv)
    step "render the phrase from jack_midiseq"
    "$hosts/jalv-render.sh" "$bundle" "$out/render.wav"
    python3 "$hosts/wavcheck.py" --align "$out/render.wav"
    ;;
  jalv-ui)
    step "the VST 2.4 editor's picture, from our test host"
    "$top/scripts/x11-run.sh" "$build/testhost" editor "$so" "$out/editor.png"
    step "jalv.gtk3 shows the LV2 UI"
    "$hosts/jalv-screenshot.sh" "$bundle" "$out/jalv.png"
    "$build/find_image" "$out/jalv.png" "$out/editor.png"
    ;;
  qtractor)
    step "Qtractor's plug-in scanner"
    "$hosts/qtractor-scan.sh" --params 39 VST "$so" >"$out/scan.tsv"
    cat "$out/scan.tsv"
    awk -F'\t' 'NR == 2 && !($2 == "Veldane" && $3 == 0 && $4 == 1 && $5 == 1 && $9 ~ /(^|,)GUI(,|$)/ && $12 == "0x7a516b74") { exit 1 }' \
      "$out/scan.tsv" || { echo "the scanner sees another plug-in" >&2; exit 1; }
    ;;
  qtractor-clap)
    step "Qtractor's plug-in scanner"
    "$hosts/qtractor-scan.sh" --params 38 CLAP "$clap" >"$out/scan.tsv"
    cat "$out/scan.tsv"
    awk -F'\t' 'NR == 2 && !($2 == "Veldane" && $3 == 0 && $4 == 1 && $5 == 1 && $8 == 1 && $9 ~ /(^|,)GUI(,|$)/) { exit 1 }' \
      "$out/scan.tsv" ||
      { echo "the scanner sees another plug-in" >&2; exit 1; }
    ;;
  *)
    echo "host_checks.sh: unknown check $check" >&2
    exit 2
    ;;
esac
echo "== $check: passed"
