# shellcheck shell=bash
# A private Wine world for running Lumidial and its Windows-side tests:
# an Xvfb display, a fresh Wine prefix and one persistent wineserver.
#
# Source this file, then:
#
#   wine_env_start [--keep-display]   start everything and export DISPLAY,
#                                     WINEPREFIX, WINEDEBUG, WINEDLLOVERRIDES
#   ...run wine programs...
#   wine_env_stop                     stop what wine_env_start started
#
# wine_env_start installs an EXIT trap that calls wine_env_stop (chained with
# any EXIT trap already set), so callers that exit early still clean up.
# With --keep-display (or LUMIDIAL_KEEP_DISPLAY=1) an existing DISPLAY is used
# instead of a private Xvfb; without a DISPLAY an Xvfb is always started.
#
# Settings (environment, all optional):
#   WINE_ENV_SCREEN   Xvfb screen geometry, default 1280x1024x24
#   WINE_ENV_PREFIX   use this prefix instead of a temporary one (it is then
#                     neither created from scratch nor removed)
#   WINE_ENV_QUIET    1 (default) sends Xvfb/wineboot chatter to a log file
#   WINE_ENV_MONITORS several monitors instead of one: "WxH+X+Y ..." (the
#                     first the primary; see scripts/monitors.sh). An Xorg
#                     server with the dummy video driver then takes the
#                     place of Xvfb, and scripts/monitors.sh can change the
#                     layout while programs run.
#
# Why one persistent wineserver: Wine learns where the X pointer is only when
# one of its windows sees it; after a fresh wineserver a new window's first
# mouse move can carry a stale position. Keeping one server ("wineserver -p")
# for a whole run avoids that between tests.
#
# Why a keep-alive process: a few seconds after the last Windows program of
# the prefix ends, Wine stops the prefix's system processes (services,
# explorer's desktop, ...). The next program then starts them again, which
# takes 10-20 s here (measured), and the desktop process it starts keeps its
# standard output open, so ctest waits for it too. An idle "cmd.exe" reading
# a pipe that never closes keeps them running for the whole session.

WINE_ENV_SCREEN=${WINE_ENV_SCREEN:-1280x1024x24}
WINE_ENV_QUIET=${WINE_ENV_QUIET:-1}

_wine_env_xvfb_pid=
_wine_env_xorg_dir=
_wine_env_own_prefix=
_wine_env_started=
_wine_env_log=
_wine_env_keepalive_pid=
_wine_env_keepalive_fd=

wine_env_log() { printf '[wine-env] %s\n' "$*" >&2; }

# Starts the X server PROGRAM (PROGRAM ARGS...) and exports DISPLAY. The
# server takes the first display no other server holds itself (-displayfd),
# so sessions started at once never race for one, and writes its number to
# the pipe read here once it accepts connections; waits for it up to 20 s.
wine_env_start_x_server() {
  local program=$1 pipe n=''
  shift
  exec {pipe}< <(exec "$program" -displayfd 3 "$@" 3>&1 >>"$_wine_env_log" 2>&1)
  _wine_env_xvfb_pid=$!
  read -r -t 20 -u "$pipe" n || true
  exec {pipe}<&-
  if [[ ! "$n" =~ ^[0-9]+$ ]]; then
    wine_env_log "could not start $program"
    kill "$_wine_env_xvfb_pid" 2>/dev/null
    wait "$_wine_env_xvfb_pid" 2>/dev/null
    _wine_env_xvfb_pid=
    return 1
  fi
  export DISPLAY=":$n"
}

wine_env_start_xvfb() {
  wine_env_start_x_server Xvfb -screen 0 "$WINE_ENV_SCREEN" -nolisten tcp -ac -noreset || return 1
  wine_env_log "Xvfb on $DISPLAY ($WINE_ENV_SCREEN), pid $_wine_env_xvfb_pid"
}

# Starts an Xorg server with the dummy video driver, lays out
# WINE_ENV_MONITORS and exports DISPLAY. Xvfb shows Wine one monitor
# whatever its options; the dummy driver's outputs are real RandR outputs,
# which Wine follows while it runs.
wine_env_start_xorg() {
  _wine_env_xorg_dir=$(mktemp -d "${TMPDIR:-/tmp}/lumidial-xorg.XXXXXX") || return 1
  cat >"$_wine_env_xorg_dir/dummy.conf" <<'CONF'
Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "AutoEnableDevices" "false"
  Option "DontVTSwitch" "true"
EndSection
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 256000
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual 4096 2048
  EndSubSection
EndSection
CONF
  if ! wine_env_start_x_server Xorg -config "$_wine_env_xorg_dir/dummy.conf" -noreset -nolisten tcp \
    -ac -logfile "$_wine_env_xorg_dir/Xorg.log"; then
    wine_env_log "log: $_wine_env_xorg_dir/Xorg.log"
    return 1
  fi
  # shellcheck disable=SC2086  # one geometry per word
  if ! "$(dirname "${BASH_SOURCE[0]}")/monitors.sh" $WINE_ENV_MONITORS; then
    wine_env_log "could not lay out the monitors $WINE_ENV_MONITORS"
    return 1
  fi
  wine_env_log "Xorg (dummy driver) on $DISPLAY, monitors $WINE_ENV_MONITORS, pid $_wine_env_xvfb_pid"
}

# Creates (or reuses) the prefix, starts the persistent wineserver and boots
# the prefix.
wine_env_start_wine() {
  export WINEDEBUG=${WINEDEBUG:--all}
  # No Mono/Gecko install prompts in a new prefix: nothing here needs them.
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
  if [[ -n "${WINE_ENV_PREFIX:-}" ]]; then
    export WINEPREFIX=$WINE_ENV_PREFIX
    mkdir -p "$WINEPREFIX"
  else
    WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/lumidial-wine.XXXXXX") || return 1
    export WINEPREFIX
    _wine_env_own_prefix=$WINEPREFIX
  fi
  # Wine refuses a prefix not owned by the current user; mktemp's is ours.
  wineserver -p || { wine_env_log "wineserver -p failed"; return 1; }
  wine_env_log "booting prefix $WINEPREFIX"
  if ! wineboot -i >>"$_wine_env_log" 2>&1; then
    wine_env_log "wineboot -i failed; log: $_wine_env_log"
    tail -n 20 "$_wine_env_log" >&2
    return 1
  fi
  wine_env_install_fonts || return 1
  # A crashing program ends at once with its exception code (and a
  # backtrace on stderr) instead of waiting in Wine's crash dialog.
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
    >>"$_wine_env_log" 2>&1 || true
  # The density the dialog is designed at, whatever the prefix had: Wine
  # picks fonts by it, and the tests measure text with them.
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f \
    >>"$_wine_env_log" 2>&1 || { wine_env_log "could not set LogPixels"; return 1; }
  wine_env_start_keepalive
}

# Debian's Wine does not find the fonts of fonts-wine ("MS Sans Serif",
# "Tahoma") where it looks for them, so a prefix would draw the dialog in a
# substitute face. Copying them into the prefix's font folder makes Wine
# load them like installed fonts. Safe to repeat. Fails, saying so, when the
# faces the dialog and its tests are drawn in are missing.
wine_env_install_fonts() {
  local source=/usr/share/wine/fonts target="$WINEPREFIX/drive_c/windows/Fonts" file
  for file in ms_sans_serif.ttf sserife.fon tahoma.ttf tahomabd.ttf; do
    if [[ ! -f "$source/$file" ]]; then
      wine_env_log "error: $source/$file is missing: install the fonts-wine package"
      return 1
    fi
  done
  mkdir -p "$target" || return 1
  for file in "$source"/*; do
    [[ -e "$target/${file##*/}" ]] || cp "$file" "$target"/ || {
      wine_env_log "error: could not copy $file into $target"
      return 1
    }
  done
}

# Starts the keep-alive: cmd.exe reading a FIFO whose writing end this shell
# holds open, so it waits for input until wine_env_stop.
wine_env_start_keepalive() {
  local fifo="$WINEPREFIX/.lumidial-keepalive"
  rm -f "$fifo"
  mkfifo "$fifo" || return 1
  wine cmd.exe /k <"$fifo" >/dev/null 2>&1 &
  _wine_env_keepalive_pid=$!
  # Opening the writing end lets cmd.exe's open of the reading end return.
  exec {_wine_env_keepalive_fd}>"$fifo"
}

wine_env_start() {
  local keep_display=${LUMIDIAL_KEEP_DISPLAY:-0}
  [[ "${1:-}" == --keep-display ]] && keep_display=1
  _wine_env_log=$(mktemp "${TMPDIR:-/tmp}/lumidial-wine-env.XXXXXX.log")
  if [[ "$WINE_ENV_QUIET" != 1 ]]; then _wine_env_log=/dev/stderr; fi
  _wine_env_started=1
  _wine_env_chain_trap
  if [[ "$keep_display" == 1 && -n "${DISPLAY:-}" ]]; then
    wine_env_log "using DISPLAY=$DISPLAY"
  elif [[ -n "${WINE_ENV_MONITORS:-}" ]]; then
    wine_env_start_xorg || return 1
  else
    wine_env_start_xvfb || return 1
  fi
  wine_env_start_wine || return 1
}

# Stops the wineserver (and with it every Wine process of the prefix), the
# Xvfb and removes a temporary prefix. Safe to call more than once.
wine_env_stop() {
  [[ -n "$_wine_env_started" ]] || return 0
  _wine_env_started=
  if [[ -n "$_wine_env_keepalive_fd" ]]; then
    exec {_wine_env_keepalive_fd}>&-
    _wine_env_keepalive_fd=
  fi
  if [[ -n "${WINEPREFIX:-}" ]]; then
    # -k kills the prefix's processes and the server; -w waits until the
    # server has gone, so the prefix can be removed safely.
    wineserver -k 2>/dev/null || true
    timeout 20 wineserver -w 2>/dev/null || true
  fi
  if [[ -n "$_wine_env_keepalive_pid" ]]; then
    wait "$_wine_env_keepalive_pid" 2>/dev/null || true
    _wine_env_keepalive_pid=
  fi
  if [[ -n "$_wine_env_xvfb_pid" ]]; then
    kill "$_wine_env_xvfb_pid" 2>/dev/null || true
    wait "$_wine_env_xvfb_pid" 2>/dev/null || true
    _wine_env_xvfb_pid=
  fi
  if [[ -n "$_wine_env_xorg_dir" && -d "$_wine_env_xorg_dir" ]]; then
    rm -rf "$_wine_env_xorg_dir"
    _wine_env_xorg_dir=
  fi
  if [[ -n "$_wine_env_own_prefix" && -d "$_wine_env_own_prefix" ]]; then
    rm -rf "$_wine_env_own_prefix"
    _wine_env_own_prefix=
  fi
  if [[ -n "$_wine_env_log" && -f "$_wine_env_log" ]]; then
    rm -f "$_wine_env_log"
  fi
}

_wine_env_chain_trap() {
  local previous
  previous=$(trap -p EXIT | sed -E "s/^trap -- '(.*)' EXIT$/\1/")
  if [[ "$previous" == *wine_env_stop* ]]; then
    return 0
  fi
  # shellcheck disable=SC2064
  trap "wine_env_stop; ${previous:-:}" EXIT
}
