#!/usr/bin/env bash
# Lumidial benchmark: Lumidial.scr /s next to lumidial_baseline.exe (a bare
# full-screen black window with a one-second timer), both run under Wine in a
# private Xvfb world (scripts/wine-env.sh). Prints a table of figures and the
# ratio saver / baseline; asserts nothing.
#
#   bench/run.sh [BUILD_DIR]        default BUILD_DIR: build/win64
#
# BUILD_DIR is configured for the mingw-w64 cross build if it has no cache,
# and Lumidial and lumidial_baseline are built in it (-j$JOBS, default 2, as
# for dev.sh). The native helper
# bench/screenprobe.cpp is compiled into BUILD_DIR/bench-native.
#
# Environment (optional):
#   BENCH_RUNS=5        start-up runs per program (after one discarded warm-up)
#   BENCH_WINDOW=60     seconds of run mode for the CPU and memory figures
#   BENCH_SETTLE=2      seconds after the first frame before that window opens
#   BENCH_NO_BUILD=1    use the binaries already in BUILD_DIR as they are
#   BENCH_SCALED=1      also measure on scaled screens: 2560 x 1600 at 192 DPI
#                       and 1200 x 1920 (portrait) at 144 DPI (start-up, and
#                       CPU and memory over BENCH_SCALED_WINDOW seconds,
#                       default 30 each); 0 leaves them out
#   BENCH_MONITORS=1    also measure run mode on two monitors (Xorg's dummy
#                       driver, two 1280 x 1024 side by side), CPU and memory
#                       over BENCH_WINDOW seconds with "ClockOnEveryMonitor"
#                       absent and set to 1; 0 leaves it out
#   BENCH_LOOK=1        also measure the clock with every choice of its look
#                       set (orange, filling the screen, the leading zero,
#                       dimmed at the time of the run) beside the defaults on
#                       the first screen: start-up launches of the two in
#                       turn, then CPU and memory over BENCH_WINDOW seconds;
#                       0 leaves it out
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${1:-build/win64}
[[ "$BUILD_DIR" = /* ]] || BUILD_DIR=$ROOT/$BUILD_DIR
RUNS=${BENCH_RUNS:-5}
WINDOW=${BENCH_WINDOW:-60}
SETTLE=${BENCH_SETTLE:-2}
SCALED=${BENCH_SCALED:-1}
SCALED_WINDOW=${BENCH_SCALED_WINDOW:-30}
MONITORS=${BENCH_MONITORS:-1}
LOOK=${BENCH_LOOK:-1}
PROBE_SCALE=()        # screenprobe's --scale for the screen being measured
PROBE_AREA=()         # screenprobe's --area: the primary of several monitors
START_TIMEOUT=30      # s, per launch, until the first frame
CLOSE_TIMEOUT=10      # s, per program, from the key press until it has gone
ROOT_COLOUR=405060    # painted on the X root so that a black window shows

SAVER=$BUILD_DIR/Lumidial.scr
BASELINE=$BUILD_DIR/lumidial_baseline.exe
BROADCAST=$BUILD_DIR/lumidial_broadcast.exe
PROBE=$BUILD_DIR/bench-native/screenprobe
CLK_TCK=$(getconf CLK_TCK)

say() { printf '[bench] %s\n' "$*" >&2; }
die() { say "error: $*"; exit 1; }

# ---------------------------------------------------------------- clean-up
WORK=$(mktemp -d "${TMPDIR:-/tmp}/lumidial-bench.XXXXXX") || exit 1
current_prog=      # pid of the program under test, while one is up
current_probe=     # pid of the screenprobe that is its parent
sleeper=           # pid of a long sleep, so that signals are not held up

# Sleeps in the background and waits for it: a trapped signal interrupts
# `wait` at once, where it would wait for a foreground `sleep` to finish.
pause_for() {
  sleep "$1" &
  sleeper=$!
  wait "$sleeper"
  sleeper=''
}

cleanup() {
  [[ -n "$sleeper" ]] && kill "$sleeper" 2>/dev/null
  if [[ -n "$current_prog" ]] && kill -0 "$current_prog" 2>/dev/null; then
    kill -KILL "$current_prog" 2>/dev/null
  fi
  if [[ -n "$current_probe" ]] && kill -0 "$current_probe" 2>/dev/null; then
    kill -KILL "$current_probe" 2>/dev/null
    wait "$current_probe" 2>/dev/null
  fi
  current_prog='' current_probe=''
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# ---------------------------------------------------------------- build
if [[ "${BENCH_NO_BUILD:-0}" != 1 ]]; then
  command -v cmake >/dev/null || die "cmake not found"
  # Configure every time: a build dir set up before bench/ existed does not
  # know the baseline target yet.
  say "configuring $BUILD_DIR"
  cmake_args=(-S "$ROOT" -B "$BUILD_DIR")
  [[ -f "$BUILD_DIR/CMakeCache.txt" ]] ||
    cmake_args+=(-DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release)
  cmake "${cmake_args[@]}" >"$WORK/configure.log" 2>&1 ||
    { tail -n 20 "$WORK/configure.log" >&2; die "configure failed"; }
  say "building Lumidial, lumidial_baseline and lumidial_broadcast"
  if ! cmake --build "$BUILD_DIR" -j "${JOBS:-2}" --target Lumidial lumidial_baseline lumidial_broadcast \
    >"$WORK/build.log" 2>&1; then
    tail -n 20 "$WORK/build.log" >&2
    [[ -f "$SAVER" && -f "$BASELINE" ]] || die "build failed"
    say "WARNING: build failed; measuring the binaries already in $BUILD_DIR"
  fi
fi
[[ -f "$SAVER" ]] || die "$SAVER missing"
[[ -f "$BASELINE" ]] || die "$BASELINE missing"

if [[ ! -x "$PROBE" || "$ROOT/bench/screenprobe.cpp" -nt "$PROBE" ]]; then
  mkdir -p "$(dirname "$PROBE")"
  c++ -O2 -std=c++20 -Wall -Wextra -I "$ROOT/core" -o "$PROBE" "$ROOT/bench/screenprobe.cpp" -lX11 ||
    die "cannot build the screen probe (needs a C compiler and libx11-dev)"
fi
for tool in wine xdotool; do command -v "$tool" >/dev/null || die "$tool not found"; done

# ---------------------------------------------------------------- wine world
# shellcheck source=../scripts/wine-env.sh
source "$ROOT/scripts/wine-env.sh"
wine_env_start || die "could not start the Wine environment"
# wine_env_start chained its own EXIT trap in front of ours: first the
# wineserver goes (with every Wine process of the prefix), then cleanup().
"$PROBE" paint-root "$ROOT_COLOUR" || die "cannot paint the X root"
screen_geometry=$(xdpyinfo 2>/dev/null | awk '/dimensions:/ {print $2; exit}')
screen_depth=$(xdpyinfo 2>/dev/null | awk '/depth of root window:/ {print $5; exit}')

# ---------------------------------------------------------------- helpers
# /proc/PID/stat: utime and stime (fields 14 and 15), counted after the
# closing parenthesis of the command name, which may hold spaces.
cpu_ticks() {
  local stat rest
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
  rest=${stat##*) }
  # shellcheck disable=SC2086
  set -- $rest
  echo "${12} ${13}"   # fields 14, 15 counted from field 3 (state)
}

vm_hwm_kib() { awk '/^VmHWM:/ {print $2}' "/proc/$1/status" 2>/dev/null; }

# The wineserver of our prefix.
wineserver_pid() {
  local p
  for p in $(pgrep -x wineserver64 2>/dev/null; pgrep -x wineserver 2>/dev/null); do
    if tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
      echo "$p"
      return 0
    fi
  done
  return 1
}

# The Windows process of a launch: `wine X` ends up exec'ing into it, so it
# normally is the launched pid itself; otherwise a process of our prefix
# whose command line names the program.
program_pid() {
  local launched=$1 name=$2 p
  if tr '\0' ' ' <"/proc/$launched/cmdline" 2>/dev/null | grep -qF "$name"; then
    echo "$launched"
    return 0
  fi
  for p in /proc/[0-9]*; do
    p=${p#/proc/}
    tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null | grep -qF "$name" || continue
    tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" || continue
    echo "$p"
    return 0
  done
  return 1
}

# launch KIND: starts the program under the probe and waits for its first
# frame. Sets current_prog, current_probe and launch_line.
launch() {
  local kind=$1 out=$WORK/probe.out i
  local -a cmd
  if [[ $kind == saver ]]; then
    cmd=(--digits "${PROBE_SCALE[@]}" "${PROBE_AREA[@]}" -- wine "$SAVER" /s)
  elif [[ $kind == look ]]; then
    cmd=(--digits --scale "$LOOK_SCALE" --colour "$LOOK_LIT" "${PROBE_AREA[@]}" -- wine "$SAVER" /s)
  else
    cmd=("${PROBE_AREA[@]}" -- wine "$BASELINE")
  fi
  launch_line=
  for _ in 1 2 3; do
    : >"$out"
    "$PROBE" launch --timeout "$START_TIMEOUT" "${cmd[@]}" >"$out" 2>"$WORK/probe.err" &
    current_probe=$!
    for ((i = 0; i < (START_TIMEOUT + 10) * 20; i++)); do
      grep -q $'\n' "$out" 2>/dev/null && break
      kill -0 "$current_probe" 2>/dev/null || break
      sleep 0.05
    done
    launch_line=$(head -n 1 "$out")
    if [[ -z "$launch_line" ]] && grep -q "already black" "$WORK/probe.err"; then
      wait "$current_probe" 2>/dev/null
      current_probe=
      say "screen still covered by a previous window; waiting"
      sleep 2
      continue
    fi
    break
  done
  if [[ -z "$launch_line" ]]; then
    cat "$WORK/probe.err" >&2
    return 1
  fi
  current_prog=$(sed -E 's/^pid=([0-9]+).*/\1/' <<<"$launch_line")
  local name
  name=$(basename "$([[ $kind == baseline ]] && echo "$BASELINE" || echo "$SAVER")")
  current_prog=$(program_pid "$current_prog" "$name") || current_prog=${launch_line#pid=}
  current_prog=${current_prog%% *}
  [[ $launch_line != *=-* ]]
}

# Ends the current program with a key press, as a user would; kills it when
# it does not go in time.
close_program() {
  local i
  [[ -n "$current_prog" ]] || return 0
  xdotool key a 2>/dev/null
  for ((i = 0; i < CLOSE_TIMEOUT * 20; i++)); do
    [[ "$(awk '{print $3}' "/proc/$current_prog/stat" 2>/dev/null)" =~ ^(Z|X|)$ ]] && break
    sleep 0.05
  done
  if kill -0 "$current_prog" 2>/dev/null &&
     ! [[ "$(awk '{print $3}' "/proc/$current_prog/stat" 2>/dev/null)" =~ ^(Z|X)$ ]]; then
    say "program $current_prog did not end on a key press; killing it"
    kill -KILL "$current_prog" 2>/dev/null
  fi
  if [[ -n "$current_probe" ]]; then
    for ((i = 0; i < 100; i++)); do kill -0 "$current_probe" 2>/dev/null || break; sleep 0.05; done
    kill -KILL "$current_probe" 2>/dev/null
    wait "$current_probe" 2>/dev/null
  fi
  current_prog='' current_probe=''
  sleep 0.5   # let the X server put the root back
}

field() { sed -nE "s/.*\\b$1=([0-9-]+).*/\\1/p" <<<"$2"; }

median() {
  # median of the numeric arguments ("-" ignored); "n/a" when none
  printf '%s\n' "$@" | grep -E '^[0-9.]+$' | sort -n |
    awk '{v[NR]=$1} END {if (!NR) print "n/a"; else if (NR%2) print v[(NR+1)/2]; else printf "%.0f\n", (v[NR/2]+v[NR/2+1])/2}'
}

ratio() {
  # a / b; a figure below the resolution comes as "<x" and bounds the ratio
  awk -v a="$1" -v b="$2" 'BEGIN {
    num = "^[0-9.]+$"; below = "^<[0-9.]+$"
    if (a ~ num && b ~ num && b + 0 > 0) printf "%.2f\n", a / b
    else if (a ~ num && b ~ below && a + 0 > 0) printf ">%.1f\n", a / substr(b, 2)
    else if (a ~ below && b ~ num && b + 0 > 0) printf "<%.1f\n", substr(a, 2) / b
    else print "n/a" }'
}

# Seconds from clock ticks; "<tick" for none, as the counters only tell that
# less than one tick was used.
seconds() {
  awk -v x="$1" -v t="$CLK_TCK" 'BEGIN { if (x + 0 == 0) printf "<%.2f", 1 / t; else printf "%.2f", x / t }'
}

# ---------------------------------------------------------------- start-up
declare -a saver_covered=() saver_digits=() base_covered=()
startup_log=()
startup_runs() {
  saver_covered=() saver_digits=() base_covered=()
  startup_log=()
  say "start-up: 1 warm-up + $RUNS measured launches of each, alternating"
  for ((run = 0; run <= RUNS; run++)); do
    for kind in saver baseline; do
      if launch "$kind"; then ok=1; else ok=0; fi
      close_program
      label=$([[ $run == 0 ]] && echo "warm-up" || echo "run $run")
      startup_log+=("$(printf '  %-8s %-8s %s%s' "$label" "$kind" "${launch_line#pid=* }" \
        "$([[ $ok == 1 ]] || echo '  (FAILED)')")")
      [[ $run == 0 || $ok != 1 ]] && continue
      if [[ $kind == saver ]]; then
        saver_covered+=("$(field covered_ms "$launch_line")")
        saver_digits+=("$(field digits_ms "$launch_line")")
      else
        base_covered+=("$(field covered_ms "$launch_line")")
      fi
    done
  done
}
startup_runs

# ---------------------------------------------------------------- run mode
# measure_window KIND: CPU (user, sys, in ticks) of the program and of the
# wineserver over WINDOW seconds of run mode, and VmHWM at the end.
measure_window() {
  local kind=$1 ws a b c d e f
  win_cpu=n/a win_user=n/a win_sys=n/a win_server=n/a win_hwm=n/a
  if ! launch "$kind"; then
    say "$kind: no first frame; skipping its run-mode window"
    close_program
    return 1
  fi
  pause_for "$SETTLE"
  ws=$(wineserver_pid) || ws=
  read -r a b < <(cpu_ticks "$current_prog") || { close_program; return 1; }
  [[ -n "$ws" ]] && read -r e f < <(cpu_ticks "$ws")
  say "$kind: ${WINDOW} s of run mode (pid $current_prog)"
  pause_for "$WINDOW"
  read -r c d < <(cpu_ticks "$current_prog") || { say "$kind ended during its window"; close_program; return 1; }
  win_hwm=$(vm_hwm_kib "$current_prog")
  win_user=$(seconds $((c - a)))
  win_sys=$(seconds $((d - b)))
  win_cpu=$(seconds $((c - a + d - b)))
  if [[ -n "$ws" ]] && read -r a b < <(cpu_ticks "$ws"); then
    win_server=$(seconds $((a - e + b - f)))
  fi
  close_program
}

measure_window saver
s_cpu=$win_cpu s_user=$win_user s_sys=$win_sys s_server=$win_server s_hwm=$win_hwm
measure_window baseline
b_cpu=$win_cpu b_user=$win_user b_sys=$win_sys b_server=$win_server b_hwm=$win_hwm

# ---------------------------------------------------------------- report
s_size=$(stat -c %s "$SAVER")
b_size=$(stat -c %s "$BASELINE")
# The resource section (artwork, icon, strings): objdump -h gives its size.
rsrc_size() {
  local hex
  hex=$(x86_64-w64-mingw32-objdump -h "$1" 2>/dev/null | awk '$2 == ".rsrc" {print $3; exit}')
  if [[ -n "$hex" ]]; then echo $((16#$hex)); else echo 0; fi
}
s_rsrc=$(rsrc_size "$SAVER")
b_rsrc=$(rsrc_size "$BASELINE")
s_first=$(median "${saver_digits[@]}")
s_cov=$(median "${saver_covered[@]}")
b_cov=$(median "${base_covered[@]}")
model=$(awk -F': *' '/^model name/ {print $2; exit}' /proc/cpuinfo)
wine_version=$(wine --version 2>/dev/null | head -n 1)
commit=$(git -C "$ROOT" rev-parse --short HEAD 2>/dev/null || echo unknown)

row() { printf '%-52s %14s %14s %8s\n' "$1" "$2" "$3" "$(ratio "$2" "$3")"; }

echo "Lumidial benchmark"
echo "  date      $(date '+%Y-%m-%d %H:%M:%S %Z')"
echo "  wine      $wine_version"
echo "  machine   $(nproc) cores, ${model:-unknown CPU}; load average at the end $(cut -d' ' -f1-3 /proc/loadavg)"
echo "  screen    Xvfb ${screen_geometry:-?} x ${screen_depth:-?}, fresh prefix, persistent wineserver"
echo "  commit    $commit   build dir ${BUILD_DIR#"$ROOT"/}"
echo
printf '%-52s %14s %14s %8s\n' "" "Lumidial.scr" "baseline" "ratio"
row "start to first frame, digits lit, ms (median of $RUNS)" "$s_first" "$b_cov"
row "start to black full screen, ms (median)" "$s_cov" "$b_cov"
row "CPU over ${WINDOW} s of run mode, s (user+sys)" "$s_cpu" "$b_cpu"
row "  wineserver CPU over the same ${WINDOW} s, s" "$s_server" "$b_server"
row "peak memory (VmHWM) after ${WINDOW} s, KiB" "$s_hwm" "$b_hwm"
row "file size, bytes" "$s_size" "$b_size"
row "  of which resources (.rsrc), bytes" "$s_rsrc" "$b_rsrc"
echo
echo "What was measured"
echo "  start: just before fork/exec of \`wine PROGRAM\` (Lumidial.scr gets /s), with the"
echo "    prefix booted and its wineserver running; screenprobe polls the X screen every 5 ms."
echo "  first frame: Lumidial.scr - the time drawn: a pure green (0,255,0) pixel in the band"
echo "    of the centred 978x327 clock panel that only the minute units digit reaches, whatever"
echo "    the hour; baseline - its black window covering the screen (as for the next row)."
echo "  black full screen: rows across the whole screen, clear of the clock panel, all black"
echo "    (the X root is painted #$ROOT_COLOUR first). Each launch is ended by a key press."
echo "  CPU: utime+stime from /proc/PID/stat of the program's Windows process, from ${SETTLE} s after"
echo "    its first frame to ${WINDOW} s later (user ${s_user} + sys ${s_sys} s for Lumidial.scr,"
echo "    user ${b_user} + sys ${b_sys} s for the baseline); resolution 1/${CLK_TCK} s;"
echo "    a leading < marks less than one tick, and a ratio against such a figure is a bound."
echo "    The wineserver is shared by the prefix; its row is for information."
echo "  peak memory: VmHWM from /proc/PID/status at the end of that window."
echo
echo "Start-up launches (ms from start)"
printf '%s\n' "${startup_log[@]}"

# ---------------------------------------------------------------- preview
# A program announcing a changed setting to every window (the display
# settings, many installers) waits up to 3 s for each window that does not
# answer: lumidial_broadcast times five such broadcasts, then five while
# Lumidial.scr /p paints into a window of its own.
if [[ -f "$BROADCAST" ]]; then
  say "broadcasts with and without the preview"
  echo
  echo "A setting announced to every window (WM_SETTINGCHANGE by SendMessageTimeout, 3 s a window), ms each"
  echo "  $(wine "$BROADCAST" "$(winepath -w "$SAVER")" 5 2>/dev/null || echo "lumidial_broadcast failed")"
fi

# ---------------------------------------------------------------- the look
# Lumidial.scr /s with every choice of the clock's look set, beside the
# defaults, on the first screen: orange (COLORREF 0x0000A5FF), filling the
# screen (ClockSize 2: min(0.8 x width / 978, 0.5 x height / 327) times the
# design), the leading zero, and dimmed all day but for the one minute 12
# hours from now (DimFrom = DimTo + 1). The probe waits for the dimmed
# orange of a lit segment: 30 % of (255, 165, 0), rounded, is (77, 50, 0).
# The two are launched in turn, the settings key written before each (no
# key for the defaults); then CPU and memory over WINDOW seconds of each.
LOOK_LIT=4D3200
look_settings() {
  local key='HKCU\Software\Orvane\Lumidial' now to
  wine reg delete "$key" /f >/dev/null 2>&1
  [[ $1 == look ]] || return 0
  now=$((10#$(date +%H) * 60 + 10#$(date +%M)))
  to=$(((now + 720) % 1440))
  local -a values=(ClockColour 42495 ClockSize 2 LeadingZero 1 DimAtNight 1 DimFrom $(((to + 1) % 1440)) DimTo "$to")
  local i
  for ((i = 0; i < ${#values[@]}; i += 2)); do
    wine reg add "$key" /v "${values[i]}" /t REG_DWORD /d "${values[i + 1]}" /f >/dev/null 2>&1 ||
      die "cannot set ${values[i]}"
  done
}

look_run() {
  local width=${screen_geometry%x*} height=${screen_geometry#*x} run kind ok
  LOOK_SCALE=$(awk -v w="$width" -v h="$height" \
    'BEGIN { a = 0.8 * w / 978; b = 0.5 * h / 327; printf "%.4f", a < b ? a : b }')
  local -a look_first=() plain_first=() log=()
  local plain_cpu plain_hwm
  say "the look: 1 warm-up + $RUNS measured launches of the defaults and of the look, in turn"
  for ((run = 0; run <= RUNS; run++)); do
    for kind in saver look; do
      look_settings "$kind"
      if launch "$kind"; then ok=1; else ok=0; fi
      close_program
      log+=("$(printf '  %-8s %-8s %s%s' "$([[ $run == 0 ]] && echo warm-up || echo "run $run")" \
        "$([[ $kind == look ]] && echo look || echo defaults)" "${launch_line#pid=* }" \
        "$([[ $ok == 1 ]] || echo '  (FAILED)')")")
      [[ $run == 0 || $ok != 1 ]] && continue
      if [[ $kind == look ]]; then look_first+=("$(field digits_ms "$launch_line")"); else
        plain_first+=("$(field digits_ms "$launch_line")"); fi
    done
  done
  look_settings saver
  measure_window saver
  plain_cpu=$win_cpu plain_hwm=$win_hwm
  look_settings look
  measure_window look
  look_settings saver
  echo
  echo "The clock's look: orange, filling the screen (${LOOK_SCALE} times the design), the leading"
  echo "zero, dimmed; beside the defaults (green, as designed) on the same screen, in the same run"
  echo
  printf '%-52s %14s %14s %8s\n' "" "look set" "defaults" "ratio"
  row "start to first frame, digits lit, ms (median of $RUNS)" "$(median "${look_first[@]}")" \
    "$(median "${plain_first[@]}")"
  row "CPU over ${WINDOW} s of run mode, s (user+sys)" "$win_cpu" "$plain_cpu"
  row "peak memory (VmHWM) after ${WINDOW} s, KiB" "$win_hwm" "$plain_hwm"
  echo "  first frame: the look's lit colour is the dimmed orange (77,50,0), the defaults' the green;"
  echo "  launches of the two in turn. CPU and memory: the defaults' window, then the look's."
  echo
  echo "Start-up launches of the look and the defaults (ms from start)"
  printf '%s\n' "${log[@]}"
}
[[ "$LOOK" == 1 ]] && look_run

# ---------------------------------------------------------------- scaled screens
# scaled_screen WxH DPI SCALE TITLE: the start-up, CPU and memory rows on a
# screen of that size at that density; SCALE is the clock's size there over
# its 96-DPI size, for the probe.
scaled_screen() {
  local geometry=$1 dpi=$2 scale=$3 title=$4
  say "scaled screen: ${geometry/x/ x } at $dpi DPI"
  wine_env_stop
  WINE_ENV_SCREEN=${geometry}x24 wine_env_start || die "could not start the Wine environment"
  "$PROBE" paint-root "$ROOT_COLOUR" || die "cannot paint the X root"
  # Wine takes the density from here when a program starts.
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 ||
    die "cannot set the density"
  PROBE_SCALE=(--scale "$scale")
  startup_runs
  WINDOW=$SCALED_WINDOW
  measure_window saver
  s_cpu=$win_cpu s_hwm=$win_hwm
  measure_window baseline
  b_cpu=$win_cpu b_hwm=$win_hwm
  echo
  echo "On a scaled screen: Xvfb $geometry, $dpi DPI ($title)"
  echo
  printf '%-52s %14s %14s %8s\n' "" "Lumidial.scr" "baseline" "ratio"
  row "start to first frame, digits lit, ms (median of $RUNS)" "$(median "${saver_digits[@]}")" \
    "$(median "${base_covered[@]}")"
  row "start to black full screen, ms (median)" "$(median "${saver_covered[@]}")" "$(median "${base_covered[@]}")"
  row "CPU over ${WINDOW} s of run mode, s (user+sys)" "$s_cpu" "$b_cpu"
  row "peak memory (VmHWM) after ${WINDOW} s, KiB" "$s_hwm" "$b_hwm"
  echo
  echo "Start-up launches on this screen (ms from start)"
  printf '%s\n' "${startup_log[@]}"
}

# ---------------------------------------------------------------- two monitors
# Run mode on two monitors, the clock on the primary only (the other black)
# and with a clock on each: CPU and memory over WINDOW seconds, against the
# one monitor's figures above. The probe watches the primary only.
two_monitors() {
  local geometry="1280x1024+0+0 1280x1024+1280+0" c_cpu c_hwm e_cpu e_hwm
  say "two monitors: $geometry"
  wine_env_stop
  WINE_ENV_MONITORS=$geometry wine_env_start || die "could not start the Wine environment with two monitors"
  "$PROBE" paint-root "$ROOT_COLOUR" || die "cannot paint the X root"
  PROBE_SCALE=() PROBE_AREA=(--area 1280x1024)
  local key='HKCU\Software\Orvane\Lumidial'
  wine reg delete "$key" /v ClockOnEveryMonitor /f >/dev/null 2>&1
  measure_window saver
  c_cpu=$win_cpu c_hwm=$win_hwm
  wine reg add "$key" /v ClockOnEveryMonitor /t REG_DWORD /d 1 /f >/dev/null 2>&1 ||
    die "cannot set ClockOnEveryMonitor"
  measure_window saver
  e_cpu=$win_cpu e_hwm=$win_hwm
  echo
  echo "Two monitors: Xorg (dummy driver) $geometry, 96 DPI; Lumidial.scr /s"
  echo
  printf '%-52s %14s %14s %8s\n' "" "every monitor" "primary only" "ratio"
  row "CPU over ${WINDOW} s of run mode, s (user+sys)" "$e_cpu" "$c_cpu"
  row "peak memory (VmHWM) after ${WINDOW} s, KiB" "$e_hwm" "$c_hwm"
  echo "  \"every monitor\": ClockOnEveryMonitor 1, a clock on each; \"primary only\": the value"
  echo "  absent, the other monitor black. One monitor, above: CPU $s_cpu s, peak memory $s_hwm KiB."
  PROBE_AREA=()
}
[[ "$MONITORS" == 1 ]] && two_monitors

[[ "$SCALED" == 1 ]] || exit 0
echo
echo "  On the scaled screens below every figure of the clock is SCALE times its 96-DPI one for"
echo "  the probe; both programs work in physical pixels. Lumidial.scr draws its digits at a"
echo "  scaled size as it first shows them."
scaled_screen 2560x1600 192 2 "the clock twice its 96-DPI size"
scaled_screen 1200x1920 144 1 "portrait, too narrow for the clock at 1.5 times: at its 96-DPI size"
