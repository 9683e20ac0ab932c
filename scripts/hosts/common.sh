# Shared by the host scripts in this folder; source it, don't run it.
#
# Gives each script a private work folder, starts helper processes so that they
# are always ended by their own process id (never by name) when the script
# exits, however it exits, and starts private JACK servers and X displays that
# cannot collide with anyone else's. Set HOSTS_KEEP=1 to keep the work folder
# (its path is printed) for a look at the logs.
set -euo pipefail

hosts_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
hosts_name=$(basename "$0")
hosts_pids=()      # processes to end on exit, in start order
hosts_cleanups=()  # commands to run on exit, after the processes have ended

die() { echo "$hosts_name: $*" >&2; exit 1; }
note() { echo "$hosts_name: $*" >&2; }

hosts_exit() {
  local status=$? i
  set +e
  for (( i = ${#hosts_pids[@]} - 1; i >= 0; i-- )); do hosts_stop "${hosts_pids[i]}"; done
  for (( i = ${#hosts_cleanups[@]} - 1; i >= 0; i-- )); do eval "${hosts_cleanups[i]}"; done
  if [ -n "${work:-}" ]; then
    if [ "${HOSTS_KEEP:-0}" = 1 ] || { [ $status -ne 0 ] && [ -n "$(find "$work" -type f -print -quit)" ]; }; then
      note "work folder kept: $work"
    else
      rm -rf "$work"
    fi
  fi
  exit $status
}
trap hosts_exit EXIT
trap 'exit 130' INT TERM

work=$(mktemp -d "${TMPDIR:-/tmp}/veldane-hosts.XXXXXX")
# Hosts and plug-ins keep configuration and caches under the XDG folders
# (Ardour its plug-in cache and blacklists, amsynth its settings, Mesa its
# shader cache): each run gets its own, so nothing of the user's setup or of
# an earlier run (a stale cache entry, a blacklisted plug-in) is seen, and
# nothing is left in the home folder.
export XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME"

# Seconds since the script started, with a tenth: for the timing notes.
hosts_t0=$(date +%s.%N)
elapsed() { echo "$(date +%s.%N) $hosts_t0" | awk '{ printf "%.1f", $1 - $2 }'; }

# spawn LOG COMMAND...: runs COMMAND in the background with its output in LOG;
# the process id is in $spawned and is ended on exit. Descriptor 3 (jalv's
# input, see jalv_start) is not inherited: a second writer would keep jalv
# from ever seeing its input end.
spawn() {
  local log=$1; shift
  "$@" >"$log" 2>&1 3>&- &
  spawned=$!
  hosts_pids+=("$spawned")
}

# hosts_stop PID: asks a process to end, waits up to 5 s, then forces it.
hosts_stop() {
  local pid=$1 i
  kill -0 "$pid" 2>/dev/null || { wait "$pid" 2>/dev/null; return 0; }
  kill -TERM "$pid" 2>/dev/null
  for i in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null || true
}

# wait_for SECONDS WHAT COMMAND...: polls COMMAND every 0.1 s until it succeeds.
wait_for() {
  local seconds=$1 what=$2 i; shift 2
  for i in $(seq $(( seconds * 10 ))); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  die "gave up after ${seconds} s waiting for $what"
}

# wait_exit SECONDS PID: waits for a spawned process to end by itself; fails
# if it is still running after SECONDS, or ended with an error.
wait_exit() {
  local seconds=$1 pid=$2 i
  for i in $(seq $(( seconds * 10 ))); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && return 124
  wait "$pid"
}

# --- JACK -------------------------------------------------------------------
# jack_start: a JACK server on the dummy driver (no sound card, runs in real
# time on a timer) under a name of its own, so it never meets another server
# on this machine. Clients started afterwards find it through
# JACK_DEFAULT_SERVER. Ended, and its shared-memory files removed, on exit.
jack_rate=48000
jack_start() {
  export JACK_DEFAULT_SERVER="veldane-$$-$RANDOM"
  export JACK_NO_START_SERVER=1  # a client must never start a default server of its own
  # -r before -d: no real-time scheduling (a test machine may not grant it).
  spawn "$work/jackd.log" jackd -n "$JACK_DEFAULT_SERVER" -r -d dummy -r "$jack_rate" -p 1024
  jack_pid=$spawned
  hosts_cleanups+=("jack_clean_shm $JACK_DEFAULT_SERVER")
  wait_for 10 "the JACK server (log: $work/jackd.log)" jack_lsp
}

# jackd removes its own segments when it ends; what can remain are its
# semaphores and socket, and the registry that all servers of this user
# share. The registry goes only when no other server of this user is left.
jack_clean_shm() {
  local name=$1 uid
  uid=$(id -u)
  rm -f /dev/shm/jack_sem."${uid}_${name}"_* /dev/shm/jack_"${name}"_*
  if ! compgen -G "/dev/shm/jack_*_${uid}_0" >/dev/null; then
    rm -rf /dev/shm/jack-shm-registry /dev/shm/jack-"${uid}"-* /dev/shm/jack_db-"${uid}"
  fi
}

# jack_ports CLIENT PATTERN: the client's ports whose type and direction lines
# (from jack_lsp -p -t) match PATTERN, e.g. 'output.*audio' or 'input.*midi'.
jack_ports() {
  jack_lsp -p -t | awk -v c="$1:" -v pat="$2" '
    index($0, c) == 1 { port = $0; info = ""; next }
    port != "" && /^\t/ { info = info $0; if (info ~ /properties/ && info ~ /(audio|midi)/) { if (info ~ pat) print port; port = "" } }'
}

# --- X display ----------------------------------------------------------------
# xvfb_start: a virtual X display on a free number (Xvfb picks it and tells us),
# exported as DISPLAY and ended on exit. -noreset: by default the server resets
# when its last client leaves and drops a client that connects meanwhile, and
# the probe that waits for the display is exactly such a last client.
xvfb_start() {
  local fifo="$work/xvfb.display"
  rm -f "$fifo"
  spawn "$work/xvfb.log" sh -c 'exec Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp 3>"$1"' sh "$fifo"
  wait_for 10 "Xvfb (log: $work/xvfb.log)" test -s "$fifo"
  export DISPLAY=":$(head -n1 "$fifo")"
  wait_for 10 "display $DISPLAY" xwininfo -root
}

# --- plug-ins -------------------------------------------------------------------
# lv2_resolve URI|BUNDLE [URI]: sets lv2_uri to the plug-in URI; for a bundle
# folder, also puts its parent folder on LV2_PATH, ahead of the system
# folders (which LV2_PATH would otherwise replace, and which hold what a
# host needs besides the plug-in). A bundle with several plug-ins needs the
# second argument. Not for $(...): it exports.
lv2_resolve() {
  local id=$1 want=${2:-}
  if [ -d "$id" ]; then
    local bundle uris
    bundle=$(cd "$id" && pwd)
    export LV2_PATH="$(dirname "$bundle"):${LV2_PATH:-$HOME/.lv2:/usr/local/lib/lv2:/usr/lib/lv2}"
    uris=$(lv2_bundle_uris "$bundle")
    if [ -n "$want" ]; then
      echo "$uris" | grep -qxF "$want" || die "$id declares no plug-in $want; it declares: ${uris:-none}"
      uris=$want
    fi
    [ "$(echo "$uris" | grep -c .)" = 1 ] || die "$id: expected one plug-in in the bundle, found: ${uris:-none}"
    lv2_uri=$uris
  else
    lv2_uri=$id
  fi
}

# The plug-in URIs declared in a bundle's manifest.
lv2_bundle_uris() {
  sordi -i turtle -o ntriples "$1/manifest.ttl" "file://$1/manifest.ttl" 2>/dev/null |
    awk '$2 == "<http://www.w3.org/1999/02/22-rdf-syntax-ns#type>" && $3 == "<http://lv2plug.in/ns/lv2core#Plugin>" { print substr($1, 2, length($1) - 2) }'
}

# output_file PATH: sets out to the absolute path, makes its folder and
# removes an old file, so a failed run cannot leave an old result in place.
output_file() {
  out=$(realpath -m "$1")
  mkdir -p "$(dirname "$out")"
  rm -f "$out"
}

# phrase_seconds FILE: where the render ends: the last note's end plus half a
# second for the release.
phrase_seconds() {
  awk '{ sub(/#.*/, "") } NF >= 3 && $1 + $2 > end { end = $1 + $2 } END { printf "%.3f", end + 0.5 }' "$1"
}

# vst3_preset_root ROOT: makes ROOT (VENDOR/PLUGIN/*.vstpreset below it) the
# user's VST 3 preset root for this run: a home folder of the run's own, with
# a copy of ROOT as its .vst3/presets, so nothing of the user's is read or
# written. Not for $(...): it exports.
vst3_preset_root() {
  [ -d "$1" ] || die "$1: no such VST 3 preset root"
  export HOME="$work/home"
  mkdir -p "$HOME/.vst3/presets"
  cp -R "$1"/. "$HOME/.vst3/presets/"
}

# --- Ardour ---------------------------------------------------------------------
ardour_dll=/usr/lib/ardour7

# ardour_prepare FEED PLUGIN: checks that Ardour is there and resolves the
# plug-ins (FEED may be empty): sets ardour_ref, and ardour_feed to the
# arguments that put the feed before it.
ardour_prepare() {
  command -v ardour7-lua >/dev/null || die "ardour7-lua is missing (Debian package ardour; scripts/setup.sh installs it)"
  ardour_feed=()
  if [ -n "$1" ]; then ardour_plugin "$1"; ardour_feed=("feed=$ardour_ref"); fi
  ardour_plugin "$2"
}

# ardour_plugin KIND:ID: sets ardour_ref to what ardour.lua takes. Ardour
# finds Linux VST2 and VST3 plug-ins only along its search paths (LXVST_PATH,
# VST3_PATH) and only once its scanner has indexed them into the cache (a
# headless session never scans on its own), so both happen here.
ardour_plugin() {
  local kind=${1%%:*} id=${1#*:}
  [ "$kind" != "$1" ] || die "plug-in not of the form lv2:URI|BUNDLE, vst2:FILE.so or vst3:BUNDLE.vst3: $1"
  case $kind in
    lv2) lv2_resolve "$id"; ardour_ref="lv2:$lv2_uri" ;;
    vst2) ardour_indexed vst2 "$id" -f LXVST_PATH ardour-vst-scanner ;;
    vst3) ardour_indexed vst3 "$id" -d VST3_PATH ardour-vst3-scanner ;;
    *) die "unknown plug-in kind '$kind' (lv2, vst2, vst3)" ;;
  esac
}

# ardour_indexed KIND PATH TEST SEARCH_PATH_VARIABLE SCANNER
ardour_indexed() {
  local kind=$1 path=$2 var=$4
  [ "$3" "$path" ] || die "$path: no such $kind plug-in"
  path=$(realpath "$path")
  export "$var=$(dirname "$path")${!var:+:${!var}}"
  ardour_scan "$5" "$path"
  ardour_ref="$kind:$path"
}

# The scanner loads the plug-in in a process of its own (a crash there only
# costs the scan) and writes what it found into the cache; -f rescans even
# when a cache entry exists. Its exit status says little (0 for a file that is
# no plug-in at all), so whether Ardour knows the plug-in is checked later.
ardour_scan() {
  local log="$work/scan-$(basename "$2").log"
  LD_LIBRARY_PATH="$ardour_dll" timeout 60 "$ardour_dll/$1" -f -v "$2" >"$log" 2>&1 ||
    die "the Ardour scanner failed on $2: $(tail -n 3 "$log")"
}

# Ardour 7.3 mixes with AVX-512 routines on processors that have them, and
# one of them writes up to 4 samples past the end of a buffer whose address is
# 16 modulo 64 (fixed in Ardour 8.5): about one export in ten then aborted in
# the session's teardown, and the same overrun can land in audio. Ardour takes
# ARDOUR_FPU_FLAGS in place of the features it detects (1 flush-to-zero,
# 2 denormals-are-zero, 4 SSE, 8 SSE2, 16 AVX, 64 FMA, 128 AVX-512F); 15 leaves
# it the SSE routines, which every x86-64 processor runs. A value set by the
# caller is kept, so the old routines can still be measured
# (tests/linux/ardour_mix_probe.c).
ardour_fpu_flags=${ARDOUR_FPU_FLAGS:-15}

# ardour_lua LOG COMMAND key=value...: one ardour7-lua process on ardour.lua;
# its chatter goes to LOG, shown when it fails.
ardour_lua() {
  local log=$1 status=0; shift
  ARDOUR_FPU_FLAGS=$ardour_fpu_flags timeout 300 ardour7-lua "$hosts_dir/ardour.lua" "$@" >"$log" 2>&1 || status=$?
  if [ $status -ne 0 ]; then
    grep -v -e '^lua/' -e 'Butler drops' "$log" | tail -n 15 >&2
    die "ardour7-lua $1 failed (status $status; log: $log$(ls "$work"/scan-*.log 2>/dev/null | sed 's/^/, scanner log: /' | tr -d '\n'))"
  fi
}

# --- jalv (console) -------------------------------------------------------------
# jalv_start URI [JALV OPTIONS...]: runs the plug-in as the JACK client
# "synth" (jack_start first). Its standard input is a FIFO held open on
# descriptor 3, so commands can be sent while it runs; closing it ends jalv.
# Unbuffered output, so its prompts show up as commands are done.
jalv_start() {
  local uri=$1; shift
  command -v jalv >/dev/null || die "jalv is missing (Debian package jalv; scripts/setup.sh installs it)"
  jalv_in="$work/jalv.in" jalv_log="$work/jalv.log" jalv_sent=0
  rm -f "$jalv_in"
  mkfifo "$jalv_in"
  spawn "$jalv_log" sh -c 'exec stdbuf -o0 "$@" <"$0"' "$jalv_in" jalv -x -n synth "$@" "$uri"
  jalv_pid=$spawned
  exec 3>"$jalv_in"
  wait_for 15 "jalv's audio ports (log: $jalv_log)" jalv_has_ports
}
jalv_has_ports() { kill -0 "$jalv_pid" && [ -n "$(jack_ports synth 'output.*audio')" ]; }

# jalv_cmd COMMAND: sends one console command and waits until jalv has done
# it (it prints its "> " prompt again after every command).
jalv_cmd() {
  echo "$1" >&3
  jalv_sent=$(( jalv_sent + 1 ))
  wait_for 10 "jalv to do '$1' (log: $jalv_log)" jalv_prompts_reach $(( jalv_sent + 1 ))
}
jalv_prompts_reach() { [ "$(grep -o '> ' "$jalv_log" | wc -l)" -ge "$1" ]; }

# jalv_quit: closes jalv's input, which makes it end by itself.
jalv_quit() {
  exec 3>&-
  wait_exit 10 "$jalv_pid" || die "jalv did not end cleanly (log: $jalv_log)"
}

# jalv_controls: the control values of jalv's last "controls" listing, as
# symbol<TAB>value lines.
jalv_controls() {
  awk '{ sub(/^(> )+/, "") } /^[A-Za-z_][A-Za-z0-9_]* = / { v[$1] = $3; if (!($1 in seen)) { seen[$1] = 1; order[++n] = $1 } }
       END { for (i = 1; i <= n; i++) print order[i] "\t" v[order[i]] }' "$jalv_log"
}
